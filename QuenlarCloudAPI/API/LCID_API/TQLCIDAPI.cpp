#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQLCIDAPI::prepareQuery() {
  const auto params = validatedParams<TQLCIDAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/lcid?id=" +
                      NSString_HelperMethods::stringByAddingPercentEncoding(params->ID));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
