#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQGetFavoritesAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (virtualFolder.empty()) {
    throwMissingParameterException(TQLocalizedString("virtualfolder"));
  }
  return true;
}

std::shared_ptr<TQResourceAPIParams> TQGetFavoritesAPIParams::copy() const {
  auto record = std::static_pointer_cast<TQGetFavoritesAPIParams>(TQResourceAPIParams::copy());
  record->virtualFolder = virtualFolder;
  record->favResourceType = favResourceType;
  return record;
}
