#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPI.h"

#include <memory>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace {

// The query pair that asks for `type`, if it names a kind.
std::optional<std::pair<const char*, const char*>> queryPairOf(TQFavResourceType type) {
  switch (type) {
    case TQFavResourceTypeFileFolder:
      return std::pair("type", "filefolder");
    case TQFavResourceTypeFile:
      return std::pair("type", "file");
    case TQFavResourceTypeFolder:
      return std::pair("type", "folder");
    case TQFavResourceTypeImage:
      return std::pair("filetype", "image");
    case TQFavResourceTypeMusic:
      return std::pair("filetype", "music");
    case TQFavResourceTypeVideo:
      return std::pair("filetype", "video");
    case TQFavResourceTypeDocuments:
      return std::pair("filetype", "documents");
  }
  return std::nullopt;
}

}  // namespace

void TQGetFavoritesAPI::prepareQuery() {
  const auto params = validatedParams<TQGetFavoritesAPIParams>();
  TQStringDictionary query = {
      {"virtualfolder",
       NSString_HelperMethods::stringByAddingPercentEncoding(params->virtualFolder)}};
  if (const auto pair = queryPairOf(params->favResourceType)) {
    query.set(pair->first, pair->second);
  }
  setRequestURLString(serverBaseURLText() + "/cloud/1/favorites?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}

TQAPIResponseOperationFactory TQGetFavoritesAPI::apiResponseOperationClass() const {
  return [] { return std::make_shared<TQGetFavoritesAPIResponseOperation>(); };
}
