// TQGetPlaylistContentAPI: GET <base>/cloud/1/playlists/<playlistUID>/items/<itemUID>, one item's
// content, run as a download: the body goes to a file in Documents named after the item UID (see
// TQDownloadFile for UIDs that name no usable file). Its record is a
// TQGetPlaylistContentAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQGetPlaylistContentAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
