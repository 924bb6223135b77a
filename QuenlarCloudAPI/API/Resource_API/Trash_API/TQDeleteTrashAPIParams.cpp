#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQDeleteTrashAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteTrashAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (virtualfolder.empty()) {
    throwMissingParameterException(TQLocalizedString("virtualfolder"));
  }
  return true;
}

std::shared_ptr<TQResourceAPIParams> TQDeleteTrashAPIParams::copy() const {
  auto record = std::static_pointer_cast<TQDeleteTrashAPIParams>(TQResourceAPIParams::copy());
  record->virtualfolder = virtualfolder;
  return record;
}
