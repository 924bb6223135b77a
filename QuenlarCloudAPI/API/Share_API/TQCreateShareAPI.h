// TQCreateShareAPI: POST <base>/cloud/1/shares with a JSON body, the creation of one share. Runs
// on the default session; its handler runs on that session's delegate queue. Its record is a
// TQCreateShareAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Share_API/TQCreateShareAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCreateShareAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The body, compact: "name" (when not empty), "expiresIn" (when set) and "resources", one
  // object per resource in the record's order with "name", "type", "subType" and "location" when
  // set and "size" when not 0. Text that is not valid UTF-8 is sent with U+FFFD in place of the
  // bad bytes. Headers: bearer token, "Accept" and "Content-Type" "application/json".
  void prepareQuery() override;
};
