#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistDefinitionAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQEditPlaylistDefinitionAPI::prepareQuery() {
  const auto params = validatedParams<TQEditPlaylistDefinitionAPIParams>();
  tq::JSON body = {{"name", params->name}};
  if (!params->paths.empty()) {
    body["paths"] = params->paths;
  }
  body["type"] = params->type;
  setRequestURLString(TQPlaylistRequest::itemsURL(serverBaseURLText(), params->playlistUID));
  setRequestMethod("PUT");
  setRequestBody(TQPlaylistRequest::compactJSON(body));
  setRequestHeaders(TQPlaylistRequest::jsonBodyHeaders(params->accessToken));
}
