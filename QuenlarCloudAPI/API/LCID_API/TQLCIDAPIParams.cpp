#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQLCIDAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (ID.empty()) {
    throwMissingParameterException(TQLocalizedString("ID"));
  }
  return true;
}
