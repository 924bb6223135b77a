// TQAddPlaylistItemsAPI: POST <base>/cloud/1/playlists/<playlistUID>/items with {"add": [paths]},
// files of the account added to a playlist. Its record is a TQAddPlaylistItemsAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQAddPlaylistItemsAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
