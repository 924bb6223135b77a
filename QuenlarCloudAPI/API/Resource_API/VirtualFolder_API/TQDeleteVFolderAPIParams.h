// TQDeleteVFolderAPIParams: the record of deleting a virtual folder: its name (required) and
// whether to force the deletion. What the server does with `force` (for example with a folder
// that still holds items) is the server's to decide; the library only sends the flag.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteVFolderAPIParams : public TQResourceAPIParams {
 public:
  TQDeleteVFolderAPIParams() = default;

  std::string folderName;
  bool force = false;

  // The access token first, then folderName not empty (key "folderName").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteVFolderAPIParams>();
  }
};
