#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQDeleteParams.h"

bool TQDeleteParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (path.empty()) {
    throwMissingParameterException("path");
  }
  return true;
}
