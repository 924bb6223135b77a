// TQCreatePlaylistAPI: POST <base>/cloud/1/playlists with {"name", "type"[, "paths"]}, a new
// playlist ("paths" only when the record has at least one). Its record is a
// TQCreateplaylistAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCreatePlaylistAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
