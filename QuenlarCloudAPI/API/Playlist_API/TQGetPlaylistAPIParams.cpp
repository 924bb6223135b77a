#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQGetPlaylistAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  TQPlaylistChecks::checkListingPaging(page, start, count);
  return true;
}
