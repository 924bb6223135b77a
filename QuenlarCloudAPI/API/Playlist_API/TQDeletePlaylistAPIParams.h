// TQDeletePlaylistAPIParams: the record of a playlist's deletion.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQDeletePlaylistAPIParams : public TQPlaylistAPIParams {
 public:
  TQDeletePlaylistAPIParams() = default;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeletePlaylistAPIParams>();
  }
};
