#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQGetTrashAPI::prepareQuery() {
  const auto params = validatedParams<TQGetTrashAPIParams>();
  TQStringDictionary query;
  query.set("virtualfolder",
            NSString_HelperMethods::stringByAddingPercentEncoding(params->virtualfolder));
  if (!params->filter.empty()) {
    query.set("filter", params->filter);
  }
  if (!params->deep.empty()) {
    query.set("deep", params->deep);
  }
  if (!params->sort.empty()) {
    query.set("sort", NSString_HelperMethods::rawQueryValueEncoded(params->sort));
  }
  setRequestURLString(serverBaseURLText() + "/cloud/1/trash?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}

TQAPIResponseOperationFactory TQGetTrashAPI::apiResponseOperationClass() const {
  return [] { return std::make_shared<TQGetTrashAPIResponseOperation>(); };
}
