#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQCreateVFolderAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (folderName.empty()) {
    throwMissingParameterException(TQLocalizedString("folderName"));
  }
  return true;
}
