// TQAddPlaylistItemsAPIParams: the record of adding files of the account to a playlist.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQAddPlaylistItemsAPIParams : public TQPlaylistAPIParams {
 public:
  TQAddPlaylistItemsAPIParams() = default;

  // Paths of the account's files to add, sent as given.
  std::vector<std::string> paths;

  // The access token, the playlist UID, then at least one path (key "paths").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQAddPlaylistItemsAPIParams>();
  }
};
