#include "QuenlarCloudAPI/API/Token_API/TQAccessTokenAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQAccessTokenAPIParams::validateParameters() const {
  TQTokenAPIParams::validateParameters();
  if (authCode.empty()) {
    throwMissingParameterException(TQLocalizedString("code"));
  }
  if (redirectURLString.empty()) {
    throwMissingParameterException(TQLocalizedString("redirect_uri"));
  }
  if (grantType.empty()) {
    throwMissingParameterException(TQLocalizedString("grant_type"));
  }
  return true;
}
