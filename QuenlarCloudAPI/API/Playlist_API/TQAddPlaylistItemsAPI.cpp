#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPI.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

void TQAddPlaylistItemsAPI::prepareQuery() {
  const auto params = validatedParams<TQAddPlaylistItemsAPIParams>();
  const tq::JSON body = {{"add", params->paths}};
  setRequestURLString(TQPlaylistRequest::itemsURL(serverBaseURLText(), params->playlistUID));
  setRequestMethod("POST");
  setRequestBody(TQPlaylistRequest::compactJSON(body));
  setRequestHeaders(TQPlaylistRequest::jsonBodyHeaders(params->accessToken));
}
