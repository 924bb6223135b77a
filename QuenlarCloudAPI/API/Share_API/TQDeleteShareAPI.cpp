#include "QuenlarCloudAPI/API/Share_API/TQDeleteShareAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteShareAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteShareAPIParams>();
  setRequestMethod("DELETE");
  setRequestURLString(serverBaseURLText() + "/cloud/1/shares/" +
                      NSString_HelperMethods::urlPathSegmentsEncoded(params->shareUID));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
