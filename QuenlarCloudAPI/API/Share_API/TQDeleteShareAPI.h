// TQDeleteShareAPI: DELETE <base>/cloud/1/shares/<shareUID>, the deletion of one share. Runs on
// the default session; its handler runs on that session's delegate queue. Its record is a
// TQDeleteShareAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Share_API/TQDeleteShareAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeleteShareAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The UID goes into the path as the host wrote it, "/" and "%" included, except what would move
  // the request elsewhere: blanks, controls, non-ASCII bytes, "?" and "#" are percent-encoded, and
  // a "." or ".." segment is written encoded so that the transport does not resolve it.
  void prepareQuery() override;
};
