// TQPlaylistItemAPIParams: the base of the records that name one item of one playlist.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQPlaylistItemAPIParams : public TQPlaylistAPIParams {
 public:
  TQPlaylistItemAPIParams() = default;

  // The server's identifier of the item within the playlist.
  std::string itemUID;

  // The access token, the playlist UID, then the item UID (key "itemUid").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQPlaylistItemAPIParams>();
  }
};
