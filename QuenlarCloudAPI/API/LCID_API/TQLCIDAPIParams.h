// TQLCIDAPIParams: the record of the LCID lookup: the identifier to look up (required).
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQLCIDAPIParams : public TQResourceAPIParams {
 public:
  TQLCIDAPIParams() = default;

  std::string ID;

  // The access token first, then ID not empty (key "ID").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQLCIDAPIParams>();
  }
};
