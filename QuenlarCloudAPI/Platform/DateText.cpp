#include "QuenlarCloudAPI/Platform/DateText.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace tq {

using namespace std::chrono;

bool DateFieldReader::number(int width, int minimum, int maximum, int& out) {
  if (text_.size() - position_ < static_cast<std::size_t>(width)) {
    return false;
  }
  int value = 0;
  for (int i = 0; i < width; ++i) {
    const char c = text_[position_ + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  if (value < minimum || value > maximum) {
    return false;
  }
  position_ += static_cast<std::size_t>(width);
  out = value;
  return true;
}

bool DateFieldReader::literal(char expected) {
  if (position_ >= text_.size() || text_[position_] != expected) {
    return false;
  }
  ++position_;
  return true;
}

bool DateFieldReader::sign(int& out) {
  if (literal('+')) {
    out = 1;
    return true;
  }
  if (literal('-')) {
    out = -1;
    return true;
  }
  return false;
}

std::optional<Date> readDateAndTime(DateFieldReader& reader, char separator) {
  int y = 0;
  int mo = 0;
  int d = 0;
  int h = 0;
  int mi = 0;
  int s = 0;
  if (!reader.number(4, 0, 9999, y) || !reader.literal('-') || !reader.number(2, 1, 12, mo) ||
      !reader.literal('-') || !reader.number(2, 1, 31, d) || !reader.literal(separator) ||
      !reader.number(2, 0, 23, h) || !reader.literal(':') || !reader.number(2, 0, 59, mi) ||
      !reader.literal(':') || !reader.number(2, 0, 59, s)) {
    return std::nullopt;
  }
  const year_month_day day{year{y}, month{static_cast<unsigned>(mo)},
                           std::chrono::day{static_cast<unsigned>(d)}};
  if (!day.ok()) {
    return std::nullopt;
  }
  return time_point_cast<milliseconds>(sys_days{day}) + hours{h} + minutes{mi} + seconds{s};
}

std::optional<Date> dateFromUTCMillisecondsText(std::string_view text) {
  DateFieldReader reader(text);
  auto date = readDateAndTime(reader, 'T');
  int ms = 0;
  if (!date || !reader.literal('.') || !reader.number(3, 0, 999, ms) || !reader.literal('Z') ||
      !reader.atEnd()) {
    return std::nullopt;
  }
  return *date + milliseconds{ms};
}

namespace {

struct CivilDate {
  int64_t year;
  unsigned month;
  unsigned day;
};

// The proleptic Gregorian date of a count of days since 1970-01-01, in 64-bit arithmetic:
// year_month_day holds a 16-bit year, and a date past 32767 would come out as another, valid
// looking year.
CivilDate civilFromDays(int64_t daysSinceEpoch) {
  constexpr int64_t kDaysPerEra = 146097;           // 400 years
  const int64_t shifted = daysSinceEpoch + 719468;  // days since 0000-03-01
  const int64_t era = (shifted >= 0 ? shifted : shifted - (kDaysPerEra - 1)) / kDaysPerEra;
  const int64_t dayOfEra = shifted - era * kDaysPerEra;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<unsigned>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const auto month =
      static_cast<unsigned>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// The day a date falls on and the milliseconds into it, without the chrono conversions that
// overflow for dates near the ends of the range.
struct DayAndTime {
  int64_t daysSinceEpoch;
  int64_t millisecondsIntoDay;
};

DayAndTime splitDays(Date date) {
  constexpr int64_t kMillisecondsPerDay = 86400000;
  const int64_t ms = date.time_since_epoch().count();
  int64_t intoDay = ms % kMillisecondsPerDay;
  int64_t day = ms / kMillisecondsPerDay;
  if (intoDay < 0) {
    intoDay += kMillisecondsPerDay;
    --day;
  }
  return {day, intoDay};
}

}  // namespace

int64_t utcYear(Date date) { return civilFromDays(splitDays(date).daysSinceEpoch).year; }

std::string utcMillisecondsText(Date date) {
  const DayAndTime split = splitDays(date);
  const CivilDate civil = civilFromDays(split.daysSinceEpoch);
  const hh_mm_ss<milliseconds> time{milliseconds{split.millisecondsIntoDay}};
  std::array<char, 64> buffer{};
  const int length = std::snprintf(
      buffer.data(), buffer.size(), "%04lld-%02u-%02uT%02d:%02d:%02d.%03dZ",
      static_cast<long long>(civil.year), civil.month, civil.day,
      static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
      static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
  return {buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

}  // namespace tq
