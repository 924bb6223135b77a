#include "QuenlarCloudAPI/API/Token_API/TQAccessTokenAPI.h"

#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

void TQAccessTokenAPI::prepareQuery() {
  const auto params = validatedParams<TQAccessTokenAPIParams>();
  TQTokenRequest::prepare(*this, serverBaseURLText() + "/cloud/1/oauth2/token",
                          {{"grant_type", params->grantType},
                           {"code", params->authCode},
                           {"client_id", params->clientID},
                           {"client_secret", params->clientSecret},
                           {"redirect_uri", params->redirectURLString}});
}
