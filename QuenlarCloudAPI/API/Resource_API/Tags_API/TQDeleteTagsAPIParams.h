// TQDeleteTagsAPIParams: the record of removing one resource's tags. A copy (copy()) carries the
// access token alone.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteTagsAPIParams : public TQResourceAPIParams {
 public:
  TQDeleteTagsAPIParams() = default;

  // The resource whose tags are removed.
  std::string uri;
  // Whether the server keeps a new version of the resource for the change.
  bool createVersion = true;

  // In this order: the access token; a non-empty uri (key "URI").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteTagsAPIParams>();
  }
};
