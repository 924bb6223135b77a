// TQGetPlaylistAPI: GET <base>/cloud/1/playlists[?<query>], a page of the account's playlists.
// Query pairs, each only when it says something: "type", "sort", then "page", "start" and "count"
// as TQPlaylistRequest::addPaging() says. Its record is a TQGetPlaylistAPIParams; in a batch its
// answer is read by TQGetPlaylistAPIResponseOperation.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/Playlist/TQGetPlaylistAPIResponseOperation.h"

class TQGetPlaylistAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQGetPlaylistAPIResponseOperation;

  void prepareQuery() override;
  TQAPIResponseOperationFactory apiResponseOperationClass() const override;
};
