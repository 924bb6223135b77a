// TQSubscriber_Helper: the subscriber's MDN and second token, split from the carrier token that
// the host supplies through tq::Device. The silent sign-in page sends both; when either is
// missing the ordinary page is used. Both read the token afresh; safe from any thread.
#pragma once

#include <optional>
#include <string>

class TQSubscriber_Helper {
 public:
  TQSubscriber_Helper() = delete;

  // The first 10 characters of the carrier token; nullopt when there is no token, or when it is
  // shorter than 10 characters or not ASCII text.
  static std::optional<std::string> MDNOfSubscriber();

  // The carrier token from its 11th character on (empty for a token of exactly 10); nullopt
  // exactly when MDNOfSubscriber() is.
  static std::optional<std::string> SPCTokenForSubscriber();
};
