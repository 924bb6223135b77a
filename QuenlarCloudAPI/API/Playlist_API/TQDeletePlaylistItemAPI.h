// TQDeletePlaylistItemAPI: DELETE <base>/cloud/1/playlists/<playlistUID>/items/<itemUID>, one item
// taken out of a playlist. Its record is a TQDeletePlaylistItemAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeletePlaylistItemAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
