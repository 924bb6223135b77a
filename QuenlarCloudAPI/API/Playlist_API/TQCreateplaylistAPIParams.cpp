#include "QuenlarCloudAPI/API/Playlist_API/TQCreateplaylistAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQCreateplaylistAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  TQPlaylistChecks::requireText(name, "name");
  TQPlaylistChecks::requireText(type, "type");
  return true;
}
