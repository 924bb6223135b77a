#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistItemAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistItemAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQDeletePlaylistItemAPI::prepareQuery() {
  const auto params = validatedParams<TQDeletePlaylistItemAPIParams>();
  setRequestURLString(
      TQPlaylistRequest::itemURL(serverBaseURLText(), params->playlistUID, params->itemUID));
  setRequestMethod("DELETE");
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
