#include "QuenlarCloudAPI/API/Token_API/TQRevokeTokenAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQRevokeTokenAPIParams::validateParameters() const {
  TQTokenAPIParams::validateParameters();
  if (accessToken.empty()) {
    throwMissingParameterException(TQLocalizedString("access_token"));
  }
  return true;
}
