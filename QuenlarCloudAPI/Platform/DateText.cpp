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

std::string utcMillisecondsText(Date date) {
  const auto day = floor<days>(date);
  const year_month_day ymd{day};
  const hh_mm_ss<milliseconds> time{date - day};
  std::array<char, 64> buffer{};
  const int length = std::snprintf(
      buffer.data(), buffer.size(), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
      static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
      static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
      static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
      static_cast<int>(time.subseconds().count()));
  return {buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

}  // namespace tq
