#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteVFolderAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (folderName.empty()) {
    throwMissingParameterException(TQLocalizedString("folderName"));
  }
  return true;
}
