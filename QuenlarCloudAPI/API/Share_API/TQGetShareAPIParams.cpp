#include "QuenlarCloudAPI/API/Share_API/TQGetShareAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQGetShareAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  checkPaging(0, 0, count, {TQPagingCheck::NegativeCount});
  if (filter != "outbound") {
    throwMissingParameterException(TQLocalizedString("valid filter value"));
  }
  return true;
}
