// TQLCIDAPI: GET <base>/cloud/1/lcid?id=<ID>, the server's "lcid" value for an identifier. The
// identifier is percent-encoded, so that no character of it can add a parameter or break the URL.
// Runs on the default session; its handler runs on that session's delegate queue.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQLCIDAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
