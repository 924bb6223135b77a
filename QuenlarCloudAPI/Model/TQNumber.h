// TQNumber: a number as the server sent it — a boolean, an integer or a real — the way resource
// records and stored rows hold their number attributes.
//
// It keeps which of the three it is, so an integer size never turns into a real and a boolean
// "deleted" flag prints as "1" or "0". Conversions never invoke undefined behaviour: a real out of
// the integer range clamps. A plain value; safe to copy between threads.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "QuenlarCloudAPI/Platform/Value.h"

class TQNumber {
 public:
  static TQNumber boolean(bool value) { return TQNumber(value); }
  static TQNumber integer(int64_t value) { return TQNumber(value); }
  static TQNumber real(double value) { return TQNumber(value); }

  bool isBoolean() const { return std::holds_alternative<bool>(value_); }
  bool isInteger() const { return std::holds_alternative<int64_t>(value_); }
  bool isReal() const { return std::holds_alternative<double>(value_); }

  // A boolean is 1 or 0; a real is truncated towards zero and clamped to the integer range.
  int64_t int64Value() const;
  double doubleValue() const;
  // True for any value but zero.
  bool boolValue() const;

  // The text "%@" gives: "1"/"0" for a boolean, decimal digits for an integer, and for a real
  // its shortest exact text, with no ".0" when it is integral (3.0 gives "3", 2.5 gives "2.5").
  std::string description() const;

  // The value for sorting and storing: a bool, an int64_t or a double.
  tq::Value value() const;

  // Equal when the numbers are equal, whatever their kinds (1, 1.0 and true are equal).
  friend bool operator==(const TQNumber& a, const TQNumber& b);

 private:
  explicit TQNumber(std::variant<bool, int64_t, double> value) : value_(value) {}

  std::variant<bool, int64_t, double> value_;
};
