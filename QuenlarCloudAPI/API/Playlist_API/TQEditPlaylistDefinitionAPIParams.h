// TQEditPlaylistDefinitionAPIParams: the record of rewriting a playlist's definition: its name,
// its type and, when given, the paths of its members. Checked as TQEditPlaylistAPIParams; the
// paths may be empty, which leaves the members as they are.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPIParams.h"

class TQEditPlaylistDefinitionAPIParams : public TQEditPlaylistAPIParams {
 public:
  TQEditPlaylistDefinitionAPIParams() = default;

  // Paths of the account's files, sent as given.
  std::vector<std::string> paths;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQEditPlaylistDefinitionAPIParams>();
  }
};
