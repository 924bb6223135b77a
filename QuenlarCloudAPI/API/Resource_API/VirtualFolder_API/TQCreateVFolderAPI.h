// TQCreateVFolderAPI: POST <base>/cloud/1/virtualfolder/<folderName>, which creates a virtual
// folder; the server answers 201 with the new folder as "folder". No query and no body, yet the
// request says "Content-Type: application/json" as the server expects. Runs on the default
// session; its handler runs on that session's delegate queue. Its record is a
// TQCreateVFolderAPIParams.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQCreateVFolderAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;

  // `folderName` as it is appended to the endpoint: percent-encoded as
  // NSString_HelperMethods::stringByAddingPercentEncoding does, and besides with "?" encoded and a
  // name that is "." or ".." written with escaped dots, so that no name can end the path early or
  // be resolved by the transport into another endpoint ("a?b" creates "a?b", not "a").
  static std::string encodedFolderName(std::string_view folderName);
};
