#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQUploadAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  validateHostFields();
  if (checkSum.empty()) {
    throwMissingParameterException(TQLocalizedString("checksum"));
  }
  return true;
}

void TQUploadAPIParams::validateHostFields() const {
  if (path.empty()) {
    throwMissingParameterException(TQLocalizedString("path"));
  }
  if (name.empty()) {
    throwMissingParameterException(TQLocalizedString("name"));
  }
  if (size < 1) {
    throwMissingParameterException(TQLocalizedString("size"));
  }
}
