// TQAccountInfoAPI: GET <base>/cloud/1/account, the signed-in account's quota, usage, identifier
// and alias. Runs on the default session; its handler runs on that session's delegate queue.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/AccountInfo_API/TQAccountInfoAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQAccountInfoAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
