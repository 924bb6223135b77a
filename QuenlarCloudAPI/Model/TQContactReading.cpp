#include "QuenlarCloudAPI/Model/TQContactReading.h"

#include <cstdint>

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

namespace TQContactReading {

std::optional<std::string> text(const tq::JSON* value) {
  // Identifiers above the signed range would otherwise pass through a real and lose digits.
  if (value != nullptr && value->is_number_unsigned()) {
    return std::to_string(value->get<uint64_t>());
  }
  return NSDictionary_TQResource::textValue(value);
}

std::optional<tq::JSON> raw(const tq::JSON* value) {
  if (value == nullptr || value->is_null()) {
    return std::nullopt;
  }
  return *value;
}

bool truth(const tq::JSON* value) { return NSDictionary_TQResource::booleanValue(value); }

}  // namespace TQContactReading
