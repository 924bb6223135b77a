#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"

#include <string>

#include "QuenlarCloudAPI/API/TQException.h"

namespace TQKeyValue {

void throwUnknownKeyException(std::string_view keyPath) {
  throw TQException(
      "NSUnknownKeyException",
      "this class is not key value coding-compliant for the key " + std::string(keyPath) + ".");
}

}  // namespace TQKeyValue
