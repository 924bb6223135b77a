#include "QuenlarCloudAPI/API/Playlist_API/TQCreatePlaylistAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQCreateplaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQCreatePlaylistAPI::prepareQuery() {
  const auto params = validatedParams<TQCreateplaylistAPIParams>();
  tq::JSON body = {{"name", params->name}, {"type", params->type}};
  if (!params->paths.empty()) {
    body["paths"] = params->paths;
  }
  setRequestURLString(TQPlaylistRequest::playlistsURL(serverBaseURLText()));
  setRequestMethod("POST");
  setRequestBody(TQPlaylistRequest::compactJSON(body));
  setRequestHeaders(TQPlaylistRequest::jsonBodyHeaders(params->accessToken));
}
