// TQFullViewAPIParams: the record of one fullview call, which lists one virtual folder whole, or
// only what changed since the ETag the client holds for it. Its only check is the access token's;
// a copy (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQFullViewAPIParams : public TQResourceAPIParams {
 public:
  TQFullViewAPIParams() = default;

  // The name of the virtual folder to list.
  std::string virtualFolder;
  // The ETag stored for that folder; empty sends none, which asks for the whole folder.
  std::string eTag;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQFullViewAPIParams>();
  }
};
