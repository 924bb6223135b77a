#include "QuenlarCloudAPI/API/Authorization_API/TQAuthByTokenAPIParams.h"

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"

std::optional<tq::URL> TQAuthByTokenAPIParams::redirectURL() const {
  return TQAuthorizationAPIParams::redirectURLFrom(redirectURLString);
}

bool TQAuthByTokenAPIParams::validateParameters() const {
  if (clientID.empty()) {
    throwMissingParameterException(TQLocalizedString("client_id"));
  }
  if (redirectURLString.empty() || !redirectURL()) {
    throwMissingParameterException(TQLocalizedString("redirect_uri"));
  }
  if (responseType.empty()) {
    throwMissingParameterException(TQLocalizedString("response_type"));
  }
  if (xdmToken.empty()) {
    throwMissingParameterException(TQLocalizedString("xdmToken"));
  }
  if (mdn.empty()) {
    throwMissingParameterException(TQLocalizedString("mdn"));
  }
  return true;
}
