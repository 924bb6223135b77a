// TQCreateFolderAPIParams: the record of creating a folder: the folder to create it in, its name,
// and the host's override rule for the server.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQCreateFolderAPIParams : public TQResourceAPIParams {
 public:
  TQCreateFolderAPIParams() = default;

  // The parent folder's path, beginning with "/".
  std::string path;
  // The new folder's name.
  std::string name;
  // Sent as "override" whenever set, an empty text included; nullopt sends none. Its meaning is
  // the server's.
  std::optional<std::string> overrideRule;

  // The access token first, then path ("path") and name ("name"), each key through the host's
  // string table.
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQCreateFolderAPIParams>();
  }
};
