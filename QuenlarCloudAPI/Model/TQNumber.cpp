#include "QuenlarCloudAPI/Model/TQNumber.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

// 2^63 exactly; every double below it in magnitude converts to int64_t without overflow.
constexpr double kInt64Bound = 9223372036854775808.0;

int64_t clampedInt64(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= kInt64Bound) {
    return std::numeric_limits<int64_t>::max();
  }
  if (value < -kInt64Bound) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(value);
}

std::string realDescription(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < kInt64Bound) {
    return std::to_string(static_cast<int64_t>(value));
  }
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

int64_t TQNumber::int64Value() const {
  if (const auto* b = std::get_if<bool>(&value_)) {
    return *b ? 1 : 0;
  }
  if (const auto* i = std::get_if<int64_t>(&value_)) {
    return *i;
  }
  return clampedInt64(std::get<double>(value_));
}

double TQNumber::doubleValue() const {
  if (const auto* b = std::get_if<bool>(&value_)) {
    return *b ? 1.0 : 0.0;
  }
  if (const auto* i = std::get_if<int64_t>(&value_)) {
    return static_cast<double>(*i);
  }
  return std::get<double>(value_);
}

bool TQNumber::boolValue() const {
  if (const auto* d = std::get_if<double>(&value_)) {
    return *d != 0.0;
  }
  return int64Value() != 0;
}

std::string TQNumber::description() const {
  if (const auto* b = std::get_if<bool>(&value_)) {
    return *b ? "1" : "0";
  }
  if (const auto* i = std::get_if<int64_t>(&value_)) {
    return std::to_string(*i);
  }
  return realDescription(std::get<double>(value_));
}

tq::Value TQNumber::value() const {
  return std::visit([](auto v) { return tq::Value(v); }, value_);
}

bool operator==(const TQNumber& a, const TQNumber& b) {
  if (!a.isReal() && !b.isReal()) {
    return a.int64Value() == b.int64Value();
  }
  return a.doubleValue() == b.doubleValue();
}
