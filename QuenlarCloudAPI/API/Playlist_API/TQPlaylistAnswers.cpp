#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAnswers.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Model/TQPlaylist.h"
#include "QuenlarCloudAPI/Model/TQResource.h"

namespace TQPlaylistAnswers {
namespace {

// `make` over the objects of the list at json[outer][inner] (or json[outer] without `inner`).
template <class Make>
auto recordsAt(const TQAPIQueryResponse& response, const char* outer, const char* inner,
               Make make) {
  std::vector<decltype(make(tq::JSON()))> records;
  const auto json = response.jsonResponse();  // keeps the members read below alive
  const tq::JSON* list = TQJSONReading::member(json.get(), outer);
  if (inner != nullptr) {
    list = TQJSONReading::member(list, inner);
  }
  for (const tq::JSON* object : TQJSONReading::objects(list)) {
    records.push_back(make(*object));
  }
  return records;
}

}  // namespace

std::vector<std::shared_ptr<TQPlaylist>> playlists(const TQAPIQueryResponse& response) {
  return recordsAt(response, "playlistDefinitions", "playlistDefinition",
                   TQPlaylist::initWithDictionary);
}

std::vector<std::shared_ptr<TQAlbum>> albums(const TQAPIQueryResponse& response) {
  return recordsAt(response, "playlistDefinitions", "playlistDefinition", TQAlbum::initWithDict);
}

std::shared_ptr<TQPlaylist> playlist(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  const tq::JSON* definition = TQJSONReading::member(json.get(), "playlistDefinition");
  return TQPlaylist::initWithDictionary(
      definition != nullptr && definition->is_object() ? *definition : tq::JSON::object());
}

std::vector<std::shared_ptr<TQResource>> items(const TQAPIQueryResponse& response) {
  return recordsAt(response, "playlist", "playlistElement", TQResource::initWithDict);
}

std::vector<std::shared_ptr<TQResource>> addedItems(const TQAPIQueryResponse& response) {
  return recordsAt(response, "paths", nullptr, TQResource::initWithDict);
}

}  // namespace TQPlaylistAnswers
