// TQCreateplaylistAPIParams: the record of a playlist's creation: its name, its type and,
// optionally, the paths of the account's files it starts with.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQCreateplaylistAPIParams : public TQResourceAPIParams {
 public:
  TQCreateplaylistAPIParams() = default;

  std::string name;
  // The playlist type ("image", "video", "image-video", "music", ...).
  std::string type;
  // Paths of the account's files, sent as given; may be empty.
  std::vector<std::string> paths;

  // The access token, then the name (key "name"), then the type (key "type").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQCreateplaylistAPIParams>();
  }
};
