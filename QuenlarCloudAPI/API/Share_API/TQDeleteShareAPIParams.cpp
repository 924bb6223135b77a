#include "QuenlarCloudAPI/API/Share_API/TQDeleteShareAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteShareAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (shareUID.empty()) {
    throwMissingParameterException(TQLocalizedString("shareUid"));
  }
  return true;
}
