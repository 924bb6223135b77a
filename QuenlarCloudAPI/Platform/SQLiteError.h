// SQLiteError: a failed SQLite call, carrying SQLite's result code and message.
//
// The message names the operation and SQLite's own description; it never holds a bound value,
// so an error may be logged without leaking the user's data.
#pragma once

#include <stdexcept>
#include <string>

namespace tq {

class SQLiteError : public std::runtime_error {
 public:
  // A few primary result codes worth telling apart, with SQLite's values.
  static constexpr int kError = 1;
  static constexpr int kBusy = 5;
  static constexpr int kLocked = 6;
  static constexpr int kCorrupt = 11;
  static constexpr int kCantOpen = 14;
  static constexpr int kConstraint = 19;
  static constexpr int kMisuse = 21;
  static constexpr int kRange = 25;
  static constexpr int kNotADatabase = 26;

  SQLiteError(int extendedCode, const std::string& message);

  // The primary result code (the low byte of the extended one).
  int code() const { return extendedCode_ & 0xFF; }
  int extendedCode() const { return extendedCode_; }

 private:
  int extendedCode_;
};

}  // namespace tq
