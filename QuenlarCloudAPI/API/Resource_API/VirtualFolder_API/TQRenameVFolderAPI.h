// TQRenameVFolderAPI: PUT <base>/cloud/1/virtualfolder with the body {"src": <current name>,
// "target": <new name>} (compact JSON, names as given), which renames a virtual folder; the server
// answers 200 with the renamed folder as "folder". Runs on the default session; its handler runs
// on that session's delegate queue. Its record is a TQRenameVFolderAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQRenameVFolderAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // A name that is not valid UTF-8 has each bad sequence written as U+FFFD, since JSON text cannot
  // carry it.
  void prepareQuery() override;
};
