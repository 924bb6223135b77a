// TQEditPlaylistAPIParams: the record of renaming or retyping a playlist.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQEditPlaylistAPIParams : public TQPlaylistAPIParams {
 public:
  TQEditPlaylistAPIParams() = default;

  std::string name;
  std::string type;

  // The access token, the playlist UID, then the name (key "name"), then the type (key "type").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQEditPlaylistAPIParams>();
  }
};
