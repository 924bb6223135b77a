// TQCreateFolderAPI: POST <base>/cloud/1/fops/createfolder with a JSON body naming the new folder
// and its parent. Runs on the default session; its handler runs on that session's delegate queue.
// Its record is a TQCreateFolderAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCreateFolderAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Body: "name", "path", and "override" whenever the record sets an override rule.
  void prepareQuery() override;
};
