#include "QuenlarCloudAPI/API/Share_API/TQCreateShareAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

namespace {

bool isNegative(const TQNumber& number) {
  // Compared as the value it is: narrowing first would take 3,000,000,000 for a negative number
  // and -0.5 for zero. A NaN, which no JSON body can carry, is refused with the negatives.
  return number.isReal() ? !(number.doubleValue() >= 0) : number.int64Value() < 0;
}

}  // namespace

bool TQCreateShareAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (expiresIn && isNegative(*expiresIn)) {
    throwMissingParameterException(TQLocalizedString("Negative expiresIn"));
  }
  if (resources.empty()) {
    throwMissingParameterException(TQLocalizedString("Resources"));
  }
  return true;
}
