// Civil date texts in fixed-width fields: a strict reader for the pieces of
// "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'" and its relatives, and the writer of that form in UTC.
//
// Reading is strict: fixed field widths, ASCII digits only, every field checked against its range
// (days per month and leap years included); anything else reads as no date. A DateFieldReader is
// a small value over text it does not own, used from one thread; the free functions are pure and
// safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Value.h"

namespace tq {

// A cursor over the text that only ever moves forward; every read either consumes exactly what
// it expects or fails and leaves the cursor where it was.
class DateFieldReader {
 public:
  explicit DateFieldReader(std::string_view text) : text_(text) {}

  // Exactly `width` ASCII digits whose value lies in [minimum, maximum].
  bool number(int width, int minimum, int maximum, int& out);
  bool literal(char expected);
  // "+" gives 1, "-" gives -1.
  bool sign(int& out);
  bool atEnd() const { return position_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Reads "yyyy-MM-dd", then `separator`, then "HH:mm:ss" as a time in UTC.
std::optional<Date> readDateAndTime(DateFieldReader& reader, char separator);

// The whole text as "yyyy-MM-ddTHH:mm:ss.SSSZ" in UTC, else nullopt.
std::optional<Date> dateFromUTCMillisecondsText(std::string_view text);

// The year of the date in UTC, for any date a Date can hold (the calendar types of the standard
// library wrap years past 32767).
int64_t utcYear(Date date);

// The date in UTC as "yyyy-MM-ddTHH:mm:ss.SSSZ". Years outside 0000 to 9999 are written with as
// many digits as they need (and a sign before zero), which dateFromUTCMillisecondsText does not
// read back.
std::string utcMillisecondsText(Date date);

}  // namespace tq
