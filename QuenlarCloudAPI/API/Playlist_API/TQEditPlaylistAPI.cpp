#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQEditPlaylistAPI::prepareQuery() {
  const auto params = validatedParams<TQEditPlaylistAPIParams>();
  const tq::JSON body = {{"name", params->name}, {"type", params->type}};
  setRequestURLString(TQPlaylistRequest::playlistURL(serverBaseURLText(), params->playlistUID));
  setRequestMethod("PUT");
  setRequestBody(TQPlaylistRequest::compactJSON(body));
  setRequestHeaders(TQPlaylistRequest::jsonBodyHeaders(params->accessToken));
}
