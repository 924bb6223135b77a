#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

std::string TQMetaDataAPI::encodedPath(std::string_view path) {
  return NSString_HelperMethods::urlPathEncoded(path);
}

void TQMetaDataAPI::prepareQuery() {
  const auto params = validatedParams<TQMetaDataAPIParams>();
  std::string url = serverBaseURLText() + "/cloud/1/metadata";
  if (!params->path.empty()) {
    url += encodedPath(params->path);
  }

  TQStringDictionary query;
  if (params->includeDeleted) {
    query.set("include_deleted", "1");
  }
  if (!params->sort.empty()) {
    query.set("sort", NSString_HelperMethods::rawQueryValueEncoded(params->sort));
  }
  if (params->page > 0 && params->start >= 0) {
    query.set("page", std::to_string(params->page));
  }
  if (params->page == 0 && params->start > 0) {
    query.set("start", std::to_string(params->start));
  }
  if (params->count > 0) {
    query.set("count", std::to_string(params->count));
  }
  if (!params->filter.empty()) {
    query.set("filter", params->filter);
  }

  const std::string queryText = paramterURLString(query);
  setRequestURLString(queryText.empty() ? url : url + "?" + queryText);
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
