// TQGetPlaylistContentAPIParams: the record of downloading one item's content. It names an item
// as TQPlaylistItemAPIParams does, with a field of its own: it is that record's sibling, not a
// kind of it.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistAPIParams.h"

class TQGetPlaylistContentAPIParams : public TQPlaylistAPIParams {
 public:
  TQGetPlaylistContentAPIParams() = default;

  // The server's identifier of the item within the playlist; it also names the download file.
  std::string itemUID;

  // The access token, the playlist UID, then the item UID (key "itemUid").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetPlaylistContentAPIParams>();
  }
};
