// TQDeleteParams: the record of deleting an item: its path, and whether to purge it for good
// rather than move it to the trash.
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQDeleteParams : public TQResourceAPIParams {
 public:
  TQDeleteParams() = default;

  // The item's path, beginning with "/".
  std::string path;
  // True deletes for good; false (the default) moves the item to the trash.
  bool purge = false;

  // The access token first, then path ("path", used as it is, never looked up in the host's
  // string table).
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQDeleteParams>();
  }
};
