// TQGetShareAPI: GET <base>/cloud/1/shares?<query>, one page of the account's shares. Runs on the
// default session; its handler runs on that session's delegate queue. Its record is a
// TQGetShareAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Share_API/TQGetShareAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQGetShareAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Query pairs, each only when it says something, in this order: "filter", "cursor", "since",
  // "until" and "count" (count > 0). The host's values go as written, except that "&", "#", "+",
  // "=", blanks, controls and non-ASCII bytes are percent-encoded: a Base64 cursor or a "+01:00"
  // offset reaches the server intact, and no value can add or cut off a pair. A "%" stays, so a
  // value the host already encoded is not encoded twice.
  void prepareQuery() override;
};
