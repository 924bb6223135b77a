#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQGetPlaylistItemsAPI::prepareQuery() {
  const auto params = validatedParams<TQGetPlaylistItemsAPIParams>();
  TQStringDictionary query;
  if (!params->sort.empty()) {
    query.set("sort", TQPlaylistRequest::queryValue(params->sort));
  }
  TQPlaylistRequest::addPaging(query, params->page, params->start, params->count);
  setRequestURLString(TQPlaylistRequest::withQuery(
      TQPlaylistRequest::itemsURL(serverBaseURLText(), params->playlistUID), query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
