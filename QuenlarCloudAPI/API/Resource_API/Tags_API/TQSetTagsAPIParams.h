// TQSetTagsAPIParams: the record of setting one resource's tags. The tags are one text, handed to
// the server as the host wrote it. A copy (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQSetTagsAPIParams : public TQResourceAPIParams {
 public:
  TQSetTagsAPIParams() = default;

  // The resource to tag.
  std::string uri;
  // The tags, as one text.
  std::string tags;
  // Whether the server keeps a new version of the resource for the change.
  bool createVersion = true;

  // In this order: the access token; a non-empty uri (key "URI"); non-empty tags (key "Tags").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQSetTagsAPIParams>();
  }
};
