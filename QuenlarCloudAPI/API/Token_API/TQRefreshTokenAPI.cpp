#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPI.h"

#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

void TQRefreshTokenAPI::prepareQuery() {
  const auto params = validatedParams<TQRefreshTokenAPIParams>();
  TQTokenRequest::prepare(*this, serverBaseURLText() + "/cloud/1/oauth2/token",
                          {{"grant_type", params->grantType},
                           {"client_id", params->clientID},
                           {"client_secret", params->clientSecret},
                           {"refresh_token", params->refreshToken}});
}
