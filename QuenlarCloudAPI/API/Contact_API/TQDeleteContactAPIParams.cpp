#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteContactAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (contactID.empty()) {
    throwMissingParameterException(TQLocalizedString("contactID"));
  }
  return true;
}
