#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQDeletePlaylistAPI::prepareQuery() {
  const auto params = validatedParams<TQDeletePlaylistAPIParams>();
  setRequestURLString(TQPlaylistRequest::playlistURL(serverBaseURLText(), params->playlistUID));
  setRequestMethod("DELETE");
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
