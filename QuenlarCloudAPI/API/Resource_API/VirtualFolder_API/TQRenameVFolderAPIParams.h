// TQRenameVFolderAPIParams: the record of renaming a virtual folder: its current name and the new
// one (both required).
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQRenameVFolderAPIParams : public TQResourceAPIParams {
 public:
  TQRenameVFolderAPIParams() = default;

  // The current name.
  std::string src;
  // The new name.
  std::string target;

  // The access token first, then src (key "src"), then target (key "target") not empty.
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQRenameVFolderAPIParams>();
  }
};
