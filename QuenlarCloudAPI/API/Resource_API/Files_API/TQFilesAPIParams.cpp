#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQFilesAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (path.empty()) {
    throwMissingParameterException(TQLocalizedString("path"));
  }
  return true;
}
