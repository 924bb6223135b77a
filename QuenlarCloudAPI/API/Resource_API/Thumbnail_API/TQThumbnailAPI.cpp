#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"

#include <string>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQThumbnailAPI::prepareQuery() {
  const auto params = validatedParams<TQThumbnailAPIParams>();
  TQStringDictionary query;
  if (!params->size.empty()) {
    query.set("size", params->size);
  } else {
    query.set("tw", std::to_string(params->tw));
    query.set("th", std::to_string(params->th));
  }
  setRequestURLString(serverBaseURLText() + "/cloud/1/thumbnails/" +
                      NSString_HelperMethods::urlPathEncoded(params->contentToken) + "?" +
                      paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
