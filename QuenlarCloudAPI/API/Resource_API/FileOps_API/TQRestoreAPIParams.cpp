#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQRestoreAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (paths.empty()) {
    throwMissingParameterException(TQLocalizedString("paths"));
  }
  return true;
}
