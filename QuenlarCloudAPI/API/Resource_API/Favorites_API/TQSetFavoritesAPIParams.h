// TQSetFavoritesAPIParams: the record of marking resources as favorites, several at once. A copy
// (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQSetFavoritesAPIParams : public TQResourceAPIParams {
 public:
  TQSetFavoritesAPIParams() = default;

  // The resources to mark, sent as written.
  std::vector<std::string> uri;
  // Whether the server keeps a new version of each resource for the change.
  bool createVersion = true;

  // In this order: the access token; at least one uri (key "uri").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQSetFavoritesAPIParams>();
  }
};
