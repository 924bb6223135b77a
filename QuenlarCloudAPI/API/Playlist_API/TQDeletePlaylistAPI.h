// TQDeletePlaylistAPI: DELETE <base>/cloud/1/playlists/<playlistUID>. Its record is a
// TQDeletePlaylistAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeletePlaylistAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
