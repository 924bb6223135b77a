#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPI.h"

#include <string>

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQGetTagsAPI::prepareQuery() {
  const auto params = validatedParams<TQGetTagsAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/tags" +
                      NSString_HelperMethods::urlPathEncoded(params->path));
  auto headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
