// TQGetPlaylistDefinitionAPI: GET <base>/cloud/1/playlists/<playlistUID>, one playlist's
// definition. Its record is a TQGetPlaylistDefinitionAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQGetPlaylistDefinitionAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
