// TQRestoreAPI: POST <base>/cloud/1/fops/restore with the body {"path": [<path>, ...]}, which
// brings trashed items back. Runs on the default session; its handler runs on that session's
// delegate queue. Its record is a TQRestoreAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQRestoreAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
