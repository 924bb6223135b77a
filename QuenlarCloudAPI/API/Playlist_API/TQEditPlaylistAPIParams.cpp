#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQEditPlaylistAPIParams::validateParameters() const {
  TQPlaylistAPIParams::validateParameters();
  TQPlaylistChecks::requireText(name, "name");
  TQPlaylistChecks::requireText(type, "type");
  return true;
}
