// TQAccountInfoAPIParams: the record of the account information call: only the access token.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQAccountInfoAPIParams : public TQResourceAPIParams {
 public:
  TQAccountInfoAPIParams() = default;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQAccountInfoAPIParams>();
  }
};
