// TQDeleteTrashAPI: DELETE <base>/cloud/1/trash?virtualfolder=<name>, which empties one virtual
// folder's trash for good. Made by the facade's emptying fan-out, one per virtual folder; its
// batch reads nothing from the answer. Runs on the default session; its handler runs on that
// session's delegate queue. Its record is a TQDeleteTrashAPIParams.
#pragma once

#include <variant>

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQDeleteTrashAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"

class TQDeleteTrashAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  // The base response operation, typed for the batch road: it reads nothing.
  using ResponseOperation = TQResponseOperationOf<std::monostate>;

  // The folder name is encoded with NSString_HelperMethods::stringByAddingPercentEncoding.
  void prepareQuery() override;
};
