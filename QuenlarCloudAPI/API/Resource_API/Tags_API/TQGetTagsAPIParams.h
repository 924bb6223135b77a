// TQGetTagsAPIParams: the record of reading one resource's tags: the resource's path. A copy
// (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQGetTagsAPIParams : public TQResourceAPIParams {
 public:
  TQGetTagsAPIParams() = default;

  // Path of the resource whose tags are read, beginning with "/".
  std::string path;

  // In this order: the access token; a non-empty path (key "path").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetTagsAPIParams>();
  }
};
