#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQGetPlaylistAPI::prepareQuery() {
  const auto params = validatedParams<TQGetPlaylistAPIParams>();
  TQStringDictionary query;
  if (!params->type.empty()) {
    query.set("type", TQPlaylistRequest::queryValue(params->type));
  }
  if (!params->sort.empty()) {
    query.set("sort", TQPlaylistRequest::queryValue(params->sort));
  }
  TQPlaylistRequest::addPaging(query, params->page, params->start, params->count);
  setRequestURLString(
      TQPlaylistRequest::withQuery(TQPlaylistRequest::playlistsURL(serverBaseURLText()), query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}

TQAPIResponseOperationFactory TQGetPlaylistAPI::apiResponseOperationClass() const {
  return [] { return std::make_shared<TQGetPlaylistAPIResponseOperation>(); };
}
