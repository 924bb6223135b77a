#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQGetTagsAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (path.empty()) {
    throwMissingParameterException(TQLocalizedString("path"));
  }
  return true;
}
