#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQSetTagsAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (uri.empty()) {
    throwMissingParameterException(TQLocalizedString("URI"));
  }
  if (tags.empty()) {
    throwMissingParameterException(TQLocalizedString("Tags"));
  }
  return true;
}
