#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQGetPlaylistContentAPIParams::validateParameters() const {
  TQPlaylistAPIParams::validateParameters();
  TQPlaylistChecks::requireText(itemUID, "itemUid");
  return true;
}
