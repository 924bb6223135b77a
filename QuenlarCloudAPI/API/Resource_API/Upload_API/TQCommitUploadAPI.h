// TQCommitUploadAPI: POST to the commit URL the intent of a chunked upload answered, sent once
// every chunk has arrived; the server then puts the file together and answers (201) the stored
// file as "file". No body (Content-Length 0) and no "Accept". Runs on the default session; its
// handler runs on that session's delegate queue. Its record is a TQUploadAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCommitUploadAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The commit URL exactly as the server gave it; headers "Authorization" and
  // "Content-Type: application/json".
  void prepareQuery() override;
};
