#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistChecks.h"

bool TQGetPlaylistItemsAPIParams::validateParameters() const {
  TQPlaylistAPIParams::validateParameters();
  TQPlaylistChecks::checkListingPaging(page, start, count);
  return true;
}
