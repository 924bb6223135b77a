#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQSetFavoritesAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (uri.empty()) {
    throwMissingParameterException(TQLocalizedString("uri"));
  }
  return true;
}
