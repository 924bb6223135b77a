// TQPlaylistAPIParams: the base of the records that name one playlist of the account.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQPlaylistAPIParams : public TQResourceAPIParams {
 public:
  TQPlaylistAPIParams() = default;

  // The server's identifier of the playlist.
  std::string playlistUID;

  // The access token, then the playlist UID (key "playlistUid").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQPlaylistAPIParams>();
  }
};
