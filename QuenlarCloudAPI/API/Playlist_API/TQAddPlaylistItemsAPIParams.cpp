#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQAddPlaylistItemsAPIParams::validateParameters() const {
  TQPlaylistAPIParams::validateParameters();
  TQPlaylistChecks::requireList(paths, "paths");
  return true;
}
