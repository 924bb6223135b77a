// TQDeleteVFolderAPI: DELETE <base>/cloud/1/virtualfolder?name=<folderName>&force=<0 or 1>, which
// deletes a virtual folder. The name is percent-encoded with
// NSString_HelperMethods::stringByAddingPercentEncoding; "force" is "1" or "0". Runs on the
// default session; its handler runs on that session's delegate queue. Its record is a
// TQDeleteVFolderAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeleteVFolderAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
