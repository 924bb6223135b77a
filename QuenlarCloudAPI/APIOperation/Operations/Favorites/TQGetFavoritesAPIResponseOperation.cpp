#include "QuenlarCloudAPI/APIOperation/Operations/Favorites/TQGetFavoritesAPIResponseOperation.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"

namespace TQFavoritesReading {

std::vector<std::shared_ptr<TQMetadata>> favoritesOf(const TQAPIQueryResponse& response) {
  std::vector<std::shared_ptr<TQMetadata>> favorites;
  const auto json = response.jsonResponse();
  const tq::JSON* set = TQJSONReading::member(json.get(), "favorites");
  for (const char* kind : {"file", "folder"}) {
    for (const tq::JSON* resource : TQJSONReading::objects(TQJSONReading::member(set, kind))) {
      favorites.push_back(TQMetadata::initWithDict(*resource));
    }
  }
  return favorites;
}

}  // namespace TQFavoritesReading
