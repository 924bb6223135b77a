#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQRenameVFolderAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (src.empty()) {
    throwMissingParameterException(TQLocalizedString("src"));
  }
  if (target.empty()) {
    throwMissingParameterException(TQLocalizedString("target"));
  }
  return true;
}
