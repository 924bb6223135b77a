#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace {

bool isNamedSize(const std::string& size) {
  for (const char* named : {"xs", "s", "m"}) {
    if (NSString_HelperMethods::equalsIgnoringCase(size, named)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool TQThumbnailAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (contentToken.empty()) {
    throwMissingParameterException(TQLocalizedString("content-token missing"));
  }
  if (!(th > 0 && tw > 0) && size.empty()) {
    throwMissingParameterException(TQLocalizedString("(th and tw) or size missing"));
  }
  if (!size.empty() && !isNamedSize(size)) {
    throwMissingParameterException(TQLocalizedString("invalid size value"));
  }
  return true;
}
