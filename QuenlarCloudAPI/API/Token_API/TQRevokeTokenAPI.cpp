#include "QuenlarCloudAPI/API/Token_API/TQRevokeTokenAPI.h"

#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

void TQRevokeTokenAPI::prepareQuery() {
  const auto params = validatedParams<TQRevokeTokenAPIParams>();
  TQTokenRequest::prepare(*this, serverBaseURLText() + "/cloud/1/oauth2/revoke",
                          {{"client_id", params->clientID},
                           {"client_secret", params->clientSecret},
                           {"token", params->accessToken}});
}
