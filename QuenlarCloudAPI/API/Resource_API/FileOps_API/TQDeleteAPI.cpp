#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteParams>();
  setRequestMethod("DELETE");
  const TQStringDictionary query = {
      {"path", NSString_HelperMethods::stringByAddingPercentEncoding(params->path)},
      {"purge", params->purge ? "true" : "false"}};
  setRequestURLString(serverBaseURLText() + "/cloud/1/fops/delete?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
