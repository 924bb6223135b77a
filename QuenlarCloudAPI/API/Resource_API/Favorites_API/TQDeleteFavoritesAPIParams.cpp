#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteFavoritesAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (uri.empty()) {
    throwMissingParameterException(TQLocalizedString("URI"));
  }
  return true;
}
