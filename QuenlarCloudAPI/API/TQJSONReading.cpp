#include "QuenlarCloudAPI/API/TQJSONReading.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace TQJSONReading {
namespace {

int64_t clampToInt64(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  // 2^63 is exactly representable; anything at or past it does not fit.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) {
    return std::numeric_limits<int64_t>::max();
  }
  if (value < -kLimit) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(value);
}

// Leading number of a text, the way the platform's text-to-number conversions read it.
double leadingDouble(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  return end == begin ? 0 : value;
}

int64_t leadingInt64(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  return end == begin ? 0 : static_cast<int64_t>(value);  // strtoll clamps on overflow
}

}  // namespace

const tq::JSON* member(const tq::JSON& object, std::string_view key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return nullptr;
  }
  return &*found;
}

const tq::JSON* member(const tq::JSON* object, std::string_view key) {
  return object == nullptr ? nullptr : member(*object, key);
}

std::optional<std::string> string(const tq::JSON* value) {
  if (value == nullptr || !value->is_string()) {
    return std::nullopt;
  }
  return value->get<std::string>();
}

std::optional<std::string> description(const tq::JSON* value) {
  if (value == nullptr || value->is_null()) {
    return std::nullopt;
  }
  if (value->is_string()) {
    return value->get<std::string>();
  }
  if (value->is_boolean()) {
    return value->get<bool>() ? "1" : "0";
  }
  return value->dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
}

int64_t int64Value(const tq::JSON* value) {
  if (value == nullptr) {
    return 0;
  }
  if (value->is_number_integer() && !value->is_number_unsigned()) {
    return value->get<int64_t>();
  }
  if (value->is_number_unsigned()) {
    const auto unsignedValue = value->get<uint64_t>();
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return unsignedValue > kMax ? std::numeric_limits<int64_t>::max()
                                : static_cast<int64_t>(unsignedValue);
  }
  if (value->is_number_float()) {
    return clampToInt64(value->get<double>());
  }
  if (value->is_boolean()) {
    return value->get<bool>() ? 1 : 0;
  }
  if (value->is_string()) {
    return leadingInt64(value->get<std::string>());
  }
  return 0;
}

double doubleValue(const tq::JSON* value) {
  if (value == nullptr) {
    return 0;
  }
  if (value->is_number()) {
    return value->get<double>();
  }
  if (value->is_boolean()) {
    return value->get<bool>() ? 1 : 0;
  }
  if (value->is_string()) {
    return leadingDouble(value->get<std::string>());
  }
  return 0;
}

std::vector<const tq::JSON*> objects(const tq::JSON* value) {
  std::vector<const tq::JSON*> result;
  if (value == nullptr) {
    return result;
  }
  if (value->is_object()) {
    result.push_back(value);
  } else if (value->is_array()) {
    for (const auto& element : *value) {
      if (element.is_object()) {
        result.push_back(&element);
      }
    }
  }
  return result;
}

}  // namespace TQJSONReading
