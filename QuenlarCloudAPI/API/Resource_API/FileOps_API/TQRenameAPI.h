// TQRenameAPI: POST <base>/cloud/1/fops/rename with a JSON body, which renames an item to the
// target; never sends "override". Runs on the default session; its handler runs on that session's
// delegate queue. Its record is a TQFOPSAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQRenameAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
