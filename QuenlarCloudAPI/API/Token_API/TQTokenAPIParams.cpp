#include "QuenlarCloudAPI/API/Token_API/TQTokenAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQTokenAPIParams::validateParameters() const {
  if (clientID.empty()) {
    throwMissingParameterException(TQLocalizedString("client_id"));
  }
  if (clientSecret.empty()) {
    throwMissingParameterException(TQLocalizedString("client_secret"));
  }
  return true;
}
