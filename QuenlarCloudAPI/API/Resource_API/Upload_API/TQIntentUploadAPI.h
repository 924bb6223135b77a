// TQIntentUploadAPI: GET <base>/cloud/1/fileupload/intent?path=&name=&size=&checksum=&chunk=, which
// announces an upload and answers (200) the URLs that take its bytes: "uploadurls" with
// "uploadurl", and for a chunked upload "commiturl". Runs on the default session; its handler runs
// on that session's delegate queue. Its record is a TQUploadAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQIntentUploadAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Every pair is always sent: "path" and "name" percent-encoded, "size" in decimal, "checksum",
  // and "chunk" as "true" or "false".
  void prepareQuery() override;
};
