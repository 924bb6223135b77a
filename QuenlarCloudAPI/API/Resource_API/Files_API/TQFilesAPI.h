// TQFilesAPI: GET <base>/cloud/1/files<path>, the bytes of one file. Started as a download task on
// the background session, so the body lands in a download file in Documents named after the
// file; its handler runs on that session's delegate queue. Its record is a TQFilesAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQFilesAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The path goes into the URL's path with "?" and "#" encoded as well, so a name holding them
  // still names that file rather than starting a query or a fragment.
  void prepareQuery() override;
};
