#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQGetPlaylistContentAPI::prepareQuery() {
  const auto params = validatedParams<TQGetPlaylistContentAPIParams>();
  setRequestURLString(
      TQPlaylistRequest::itemURL(serverBaseURLText(), params->playlistUID, params->itemUID));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
