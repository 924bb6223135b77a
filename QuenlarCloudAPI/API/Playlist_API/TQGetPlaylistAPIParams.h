// TQGetPlaylistAPIParams: the record of the playlist listing: which type to list, in which order,
// and which page. Every field starts empty or 0, which lists every playlist in the server's order.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQGetPlaylistAPIParams : public TQResourceAPIParams {
 public:
  TQGetPlaylistAPIParams() = default;

  // The playlist type to list ("image", "video", "image-video", "music", ...); empty for all.
  std::string type;
  // Page number (from 1); 0 means not given.
  int32_t page = 0;
  // Index of the first playlist, used only when no page is given; 0 means not given.
  int32_t start = 0;
  // Playlists per page; 0 means not given. Required when page or start is above 1.
  int32_t count = 0;
  // A sort string handed to the server ("name+asc"); empty for the server's own order.
  std::string sort;

  // The access token, then "Negative page", "Negative start", "Negative count" and "Positive
  // count required" (page or start above 1 without a count).
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetPlaylistAPIParams>();
  }
};
