// TQSetFavoritesAPI: PUT <base>/cloud/1/favorites with a JSON body, marking resources as
// favorites. Runs on the default session; its handler runs on that session's delegate queue. Its
// record is a TQSetFavoritesAPIParams. Single calls only: it has no response operation.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQSetFavoritesAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The compact body {"uri": [<uri>, ...], "createVersion": <true|false>}, values as the host
  // wrote them.
  void prepareQuery() override;
};
