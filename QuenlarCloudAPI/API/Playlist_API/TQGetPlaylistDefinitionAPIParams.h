// TQGetPlaylistDefinitionAPIParams: the record of reading one playlist's definition.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQGetPlaylistDefinitionAPIParams : public TQPlaylistAPIParams {
 public:
  TQGetPlaylistDefinitionAPIParams() = default;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetPlaylistDefinitionAPIParams>();
  }
};
