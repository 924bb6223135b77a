// TQDeleteShareAPIParams: the record of a share's deletion: the server's identifier of the share.
// A copy (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteShareAPIParams : public TQResourceAPIParams {
 public:
  TQDeleteShareAPIParams() = default;

  // The share's "uid", as a listing or the creation gave it.
  std::string shareUID;

  // In this order: the access token; an empty shareUID ("shareUid").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteShareAPIParams>();
  }
};
