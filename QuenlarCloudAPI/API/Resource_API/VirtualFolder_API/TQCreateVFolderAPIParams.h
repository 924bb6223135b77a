// TQCreateVFolderAPIParams: the record of creating a virtual folder (a top-level folder of the
// account): the new folder's name (required).
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQCreateVFolderAPIParams : public TQResourceAPIParams {
 public:
  TQCreateVFolderAPIParams() = default;

  std::string folderName;

  // The access token first, then folderName not empty (key "folderName").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQCreateVFolderAPIParams>();
  }
};
