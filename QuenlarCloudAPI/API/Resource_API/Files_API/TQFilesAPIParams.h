// TQFilesAPIParams: the record of a file download: the server path of the file (required).
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQFilesAPIParams : public TQResourceAPIParams {
 public:
  TQFilesAPIParams() = default;

  // The file's path in the account, beginning with "/".
  std::string path;

  // The access token first, then the path not empty (key "path", through the host's string
  // table).
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQFilesAPIParams>();
  }
};
