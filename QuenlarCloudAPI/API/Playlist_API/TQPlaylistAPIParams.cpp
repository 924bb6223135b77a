#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQPlaylistAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  TQPlaylistChecks::requireText(playlistUID, "playlistUid");
  return true;
}
