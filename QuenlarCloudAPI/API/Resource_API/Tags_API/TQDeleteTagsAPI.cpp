#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteTagsAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteTagsAPIParams>();
  const TQStringDictionary query = {
      {"uri", NSString_HelperMethods::stringByAddingPercentEncoding(params->uri)},
      {"createVersion", params->createVersion ? "1" : "0"}};
  setRequestURLString(serverBaseURLText() + "/cloud/1/tags?" + paramterURLString(query));
  setRequestMethod("DELETE");
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
