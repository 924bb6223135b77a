#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQGetPlaylistDefinitionAPI::prepareQuery() {
  const auto params = validatedParams<TQGetPlaylistDefinitionAPIParams>();
  setRequestURLString(TQPlaylistRequest::playlistURL(serverBaseURLText(), params->playlistUID));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
