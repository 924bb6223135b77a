// TQGetFavoritesAPI: GET <base>/cloud/1/favorites?virtualfolder=<name>[&type=...|&filetype=...],
// the favorites of one virtual folder. Runs on the default session, alone or in the facade's
// favorites batch, read there by TQGetFavoritesAPIResponseOperation. Its record is a
// TQGetFavoritesAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/Operations/Favorites/TQGetFavoritesAPIResponseOperation.h"

class TQGetFavoritesAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;
  using ResponseOperation = TQGetFavoritesAPIResponseOperation;

  // The folder's name is percent-encoded with stringByAddingPercentEncoding() ("/" stays); the
  // kind adds "type" (file, folder, or both) or "filetype" (image, music, video, documents), and
  // a value that names no kind adds neither.
  void prepareQuery() override;

  TQAPIResponseOperationFactory apiResponseOperationClass() const override;
};
