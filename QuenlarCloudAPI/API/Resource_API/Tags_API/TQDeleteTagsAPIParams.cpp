#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQDeleteTagsAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (uri.empty()) {
    throwMissingParameterException(TQLocalizedString("URI"));
  }
  return true;
}
