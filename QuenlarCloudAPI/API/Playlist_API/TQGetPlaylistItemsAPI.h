// TQGetPlaylistItemsAPI: GET <base>/cloud/1/playlists/<playlistUID>/items[?<query>], a page of a
// playlist's items. Query pairs, each only when it says something: "sort", then "page",
// "start" and "count" as TQPlaylistRequest::addPaging() says. Its record is a
// TQGetPlaylistItemsAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQGetPlaylistItemsAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
