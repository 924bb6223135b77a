// TQEditPlaylistAPI: PUT <base>/cloud/1/playlists/<playlistUID> with {"name", "type"}, a
// playlist's new name and type. Its record is a TQEditPlaylistAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQEditPlaylistAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
