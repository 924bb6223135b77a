#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistItemAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQPlaylistItemAPIParams::validateParameters() const {
  TQPlaylistAPIParams::validateParameters();
  TQPlaylistChecks::requireText(itemUID, "itemUid");
  return true;
}
