// TQGetTrashAPI: GET <base>/cloud/1/trash?virtualfolder=<name>[&filter=][&deep=][&sort=], the
// trash of one virtual folder, whole: the server pages nothing here. Made by the trash listing's
// fan-out, one per virtual folder, and read in its batch by TQGetTrashAPIResponseOperation. Runs
// on the default session; its handler runs on that session's delegate queue. Its record is a
// TQGetTrashAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/Trash/TQGetTrashAPIResponseOperation.h"

class TQGetTrashAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQGetTrashAPIResponseOperation;

  // The folder name is encoded with NSString_HelperMethods::stringByAddingPercentEncoding; filter
  // and deep go as they are (the record allows only fixed words), and sort as written except "&",
  // "#", blanks, controls and non-ASCII bytes, so that it cannot add a pair or end the query.
  // Each of the three only when non-empty.
  void prepareQuery() override;

  TQAPIResponseOperationFactory apiResponseOperationClass() const override;
};
