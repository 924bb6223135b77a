#include "QuenlarCloudAPI/API/Authorization_API/TQAuthByTokenAPI.h"

#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

void TQAuthByTokenAPI::prepareQuery() {
  const auto params = validatedParams<TQAuthByTokenAPIParams>();
  TQStringDictionary pairs{
      {"response_type", params->responseType},
      {"redirect_uri", TQTokenRequest::encodedQueryValue(params->redirectURLString)},
      {"client_id", params->clientID},
      {"mdn", params->mdn},
      {"xdm_token", params->xdmToken},
  };
  if (!params->xdmDeviceID.empty()) {
    pairs.set("xdmdeviceid", params->xdmDeviceID);
  }
  setRequestURLString(serverBaseURLText() + "/cloud/1/oauth2/authbytoken?" +
                      paramterURLString(pairs));
}
