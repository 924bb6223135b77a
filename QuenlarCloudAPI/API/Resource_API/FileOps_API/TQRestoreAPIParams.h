// TQRestoreAPIParams: the record of bringing items back from the trash: their paths.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQRestoreAPIParams : public TQResourceAPIParams {
 public:
  TQRestoreAPIParams() = default;

  // The trashed items' paths; at least one.
  std::vector<std::string> paths;

  // The access token first, then at least one path ("paths", through the host's string table).
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQRestoreAPIParams>();
  }
};
