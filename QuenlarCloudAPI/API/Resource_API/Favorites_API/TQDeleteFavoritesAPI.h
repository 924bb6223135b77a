// TQDeleteFavoritesAPI: DELETE <base>/cloud/1/favorites?uri=<uri>&createVersion=<1|0>, removing
// one resource's favorite mark. Runs on the default session; its handler runs on that session's
// delegate queue. Its record is a TQDeleteFavoritesAPIParams. Single calls only: it has no
// response operation.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQDeleteFavoritesAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The uri is percent-encoded with stringByAddingPercentEncoding(), so "&", "=" and blanks
  // cannot split the query, while "/" and "?" stay as written.
  void prepareQuery() override;
};
