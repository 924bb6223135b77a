#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"

bool TQFOPSAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (source.empty()) {
    throwMissingParameterException("source");
  }
  if (target.empty()) {
    throwMissingParameterException("target");
  }
  return true;
}
