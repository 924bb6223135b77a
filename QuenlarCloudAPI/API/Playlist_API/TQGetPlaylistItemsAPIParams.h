// TQGetPlaylistItemsAPIParams: the record of listing a playlist's items: which playlist, in which
// order, and which page (0 for a field means not given).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQGetPlaylistItemsAPIParams : public TQPlaylistAPIParams {
 public:
  TQGetPlaylistItemsAPIParams() = default;

  // Page number (from 1); 0 means not given.
  int32_t page = 0;
  // Index of the first item, used only when no page is given; 0 means not given.
  int32_t start = 0;
  // Items per page; 0 means not given. Required when page or start is above 1.
  int32_t count = 0;
  // A sort string handed to the server ("name+asc"); empty for the server's own order.
  std::string sort;

  // The access token, the playlist UID, then "Negative page", "Negative start", "Negative count"
  // and "Positive count required".
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetPlaylistItemsAPIParams>();
  }
};
