// TQDeletePlaylistItemAPIParams: the record of removing one item from a playlist.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistItemAPIParams.h"

class TQDeletePlaylistItemAPIParams : public TQPlaylistItemAPIParams {
 public:
  TQDeletePlaylistItemAPIParams() = default;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeletePlaylistItemAPIParams>();
  }
};
