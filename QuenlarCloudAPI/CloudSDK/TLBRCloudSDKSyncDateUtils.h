// TLBRCloudSDKSyncDateUtils: the date texts that search queries compare with.
//
// Reading is strict: fixed field widths, ASCII digits only, every field checked against its range
// (days per month and leap years included) and the whole text consumed; anything else reads as no
// date. Every operation is a pure function of its argument, with no formatter shared between
// calls, so any thread may use any of them at any time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Value.h"

class TLBRCloudSDKSyncDateUtils {
 public:
  TLBRCloudSDKSyncDateUtils() = delete;

  // The first of these forms that matches the whole text, else nullopt:
  //   2015-01-01T00:00:00.000Z   UTC, with milliseconds
  //   2015-01-01T00:00:00Z       UTC
  //   2015-01-01 01:00:00 +0100  local time with its offset from UTC (sign, hours, minutes)
  static std::optional<tq::Date> dateFromXMLString(std::string_view text);

  // The date in UTC as "yyyy-MM-ddTHH:mm:ss.SSSZ", the first form above. Years outside 0000 to
  // 9999 are written with as many digits as they need (and a sign before zero), which no reader
  // here accepts back.
  static std::string xmlStringFromDate(tq::Date date);
};
