#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

std::optional<tq::URL> TQAuthorizationAPIParams::redirectURLFrom(
    std::string_view redirectURLString) {
  return tq::URL::URLWithString(
      NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(redirectURLString));
}

bool TQAuthorizationAPIParams::validateParameters() const {
  if (clientID.empty()) {
    throwMissingParameterException(TQLocalizedString("client_id"));
  }
  // A redirect URL that makes no URL could never be recognised: the page would never report.
  if (redirectURLString.empty() || !redirectURL()) {
    throwMissingParameterException(TQLocalizedString("redirect_uri"));
  }
  if (responseType.empty()) {
    throwMissingParameterException(TQLocalizedString("response_type"));
  }
  return true;
}
