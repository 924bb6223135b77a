// TQException: the library's programming-error exceptions (bad or missing parameters, a call class
// that lacks its endpoint). They are raised only synchronously out of a host's call, before
// anything is registered or sent; no queue of the library lets one escape.
//
// name() keeps the interface's exception names ("NSInvalidArgumentException", "Abstrat Method
// exception") and what() is the reason. Safe to copy and to throw across threads.
#pragma once

#include <stdexcept>
#include <string>

inline constexpr const char* NSInvalidArgumentException = "NSInvalidArgumentException";
inline constexpr const char* TQAbstractMethodException = "Abstrat Method exception";

class TQException : public std::logic_error {
 public:
  TQException(std::string name, const std::string& reason)
      : std::logic_error(reason), name_(std::move(name)) {}

  const std::string& name() const noexcept { return name_; }
  std::string reason() const { return what(); }

 private:
  std::string name_;
};

// The host's translation of `key` from its main bundle's string table (no default value, no
// table name): the key itself when the host translates nothing.
std::string TQLocalizedString(const std::string& key);
