#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQCreateFolderAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (path.empty()) {
    throwMissingParameterException(TQLocalizedString("path"));
  }
  if (name.empty()) {
    throwMissingParameterException(TQLocalizedString("name"));
  }
  return true;
}
