#include "QuenlarCloudAPI/Model/TQResourceValues.h"

tq::Value TQValueOf(const std::optional<std::string>& value) {
  return value ? tq::Value(*value) : tq::Value();
}

tq::Value TQValueOf(const std::optional<TQNumber>& value) {
  return value ? value->value() : tq::Value();
}

tq::Value TQValueOf(const std::optional<bool>& value) {
  return value ? tq::Value(*value) : tq::Value();
}

tq::Value TQValueOf(const std::optional<tq::Date>& value) {
  return value ? tq::Value(*value) : tq::Value();
}
