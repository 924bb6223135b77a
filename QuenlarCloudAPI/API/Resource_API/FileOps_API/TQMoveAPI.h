// TQMoveAPI: POST <base>/cloud/1/fops/move with a JSON body, which moves an item into the folder
// named by the target; never sends "override". Runs on the default session; its handler runs on
// that session's delegate queue. Its record is a TQFOPSAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQMoveAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
