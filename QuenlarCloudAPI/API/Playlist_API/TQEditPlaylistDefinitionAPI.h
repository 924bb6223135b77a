// TQEditPlaylistDefinitionAPI: PUT <base>/cloud/1/playlists/<playlistUID>/items with
// {"name"[, "paths"], "type"}, a playlist's whole definition ("paths" only when the record has
// at least one). Its record is a TQEditPlaylistDefinitionAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQEditPlaylistDefinitionAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
