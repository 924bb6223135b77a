// TQCopyAPI: POST <base>/cloud/1/fops/copy with a JSON body, which copies an item (a folder with
// everything in it) into the folder named by the target; sends "override" when the record has one.
// Runs on the default session; its handler runs on that session's delegate queue. Its record is a
// TQFOPSAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCopyAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
