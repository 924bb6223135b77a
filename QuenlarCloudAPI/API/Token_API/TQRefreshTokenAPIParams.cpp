#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQRefreshTokenAPIParams::validateParameters() const {
  TQTokenAPIParams::validateParameters();
  if (refreshToken.empty()) {
    throwMissingParameterException(TQLocalizedString("refresh_token"));
  }
  if (grantType.empty()) {
    throwMissingParameterException(TQLocalizedString("grant_type"));
  }
  return true;
}
