#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPI.h"

#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"
#include "QuenlarCloudAPI/Helper_Class/TQSubscriber_Helper.h"

void TQAuthorizationAPI::prepareQuery() {
  const auto params = validatedParams<TQAuthorizationAPIParams>();
  const auto mdn = TQSubscriber_Helper::MDNOfSubscriber();
  const auto spcToken = TQSubscriber_Helper::SPCTokenForSubscriber();
  const bool silent = mdn && !mdn->empty() && spcToken && !spcToken->empty();

  TQStringDictionary pairs;
  if (silent) {
    pairs.set("mdn", *mdn);
    pairs.set("spc_token", *spcToken);
  }
  pairs.set("response_type", params->responseType);
  pairs.set("redirect_uri", TQTokenRequest::encodedQueryValue(params->redirectURLString));
  pairs.set("client_id", params->clientID);
  pairs.set("deviceid", params->deviceID);
  setRequestURLString(serverBaseURLText() + "/cloud/1/oauth2" +
                      (silent ? "/authorizesilent" : "/authorize") + "?" +
                      paramterURLString(pairs));
}
