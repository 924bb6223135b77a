#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"
#include "QuenlarCloudAPI/Platform/DateText.h"

namespace {

using namespace std::chrono;

tq::Date utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return time_point_cast<milliseconds>(sys_days{year{y} / month{mo} / day{d}}) + hours{h} +
         minutes{mi} + seconds{s} + milliseconds{ms};
}

struct DateCase {
  const char* reason;
  const char* text;
  std::optional<tq::Date> expected;
};

TEST(TLBRCloudSDKSyncDateUtils, ReadsTheThreeFormsStrictly) {
  const tq::Date newYear2015 = utc(2015, 1, 1);
  const DateCase cases[] = {
      {"UTC with milliseconds", "2015-01-01T00:00:00.000Z", newYear2015},
      {"UTC", "2015-01-01T00:00:00Z", newYear2015},
      {"offset east of UTC", "2015-01-01 01:00:00 +0100", newYear2015},
      {"offset west of UTC", "2014-12-31 19:30:00 -0430", newYear2015},
      {"milliseconds kept", "2015-06-30T23:59:59.999Z", utc(2015, 6, 30, 23, 59, 59, 999)},
      {"29 February of a leap year", "2016-02-29T12:00:00Z", utc(2016, 2, 29, 12)},
      {"29 February of 2000 (divisible by 400)", "2000-02-29T00:00:00Z", utc(2000, 2, 29)},
      {"negative zero offset", "2015-01-01 00:00:00 -0000", newYear2015},
      {"before the epoch", "1969-12-31T23:59:59.999Z", utc(1969, 12, 31, 23, 59, 59, 999)},
      {"no offset in the third form", "2015-01-01 00:00:00", std::nullopt},
      {"29 February of a common year", "2015-02-29T00:00:00Z", std::nullopt},
      {"29 February of 1900 (century)", "1900-02-29T00:00:00Z", std::nullopt},
      {"31 April", "2015-04-31T00:00:00Z", std::nullopt},
      {"month 13", "2015-13-01T00:00:00Z", std::nullopt},
      {"month 00", "2015-00-01T00:00:00Z", std::nullopt},
      {"day 00", "2015-01-00T00:00:00Z", std::nullopt},
      {"hour 24", "2015-01-01T24:00:00Z", std::nullopt},
      {"minute 60", "2015-01-01T00:60:00Z", std::nullopt},
      {"leap second", "2015-06-30T23:59:60Z", std::nullopt},
      {"short year", "215-01-01T00:00:00Z", std::nullopt},
      {"one-digit month", "2015-1-01T00:00:00Z", std::nullopt},
      {"two-digit milliseconds", "2015-01-01T00:00:00.00Z", std::nullopt},
      {"four-digit milliseconds", "2015-01-01T00:00:00.0000Z", std::nullopt},
      {"trailing text", "2015-01-01T00:00:00Zjunk", std::nullopt},
      {"leading space", " 2015-01-01T00:00:00Z", std::nullopt},
      {"lower-case z", "2015-01-01T00:00:00z", std::nullopt},
      {"sign inside a field", "2015-+1-01T00:00:00Z", std::nullopt},
      {"offset hour 24", "2015-01-01 00:00:00 +2400", std::nullopt},
      {"offset with a colon", "2015-01-01 00:00:00 +01:00", std::nullopt},
      {"offset without sign", "2015-01-01 00:00:00 0100", std::nullopt},
      {"non-ASCII digit", "2015-01-0\xD9\xA1T00:00:00Z", std::nullopt},
      {"a word", "yesterday", std::nullopt},
      {"empty text", "", std::nullopt},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TLBRCloudSDKSyncDateUtils::dateFromXMLString(c.text), c.expected) << c.text;
  }
}

TEST(TLBRCloudSDKSyncDateUtils, WritesTheFirstFormInUTC) {
  const struct {
    const char* reason;
    tq::Date date;
    const char* expected;
  } cases[] = {
      {"the epoch", tq::Date{}, "1970-01-01T00:00:00.000Z"},
      {"milliseconds padded", utc(2015, 1, 1, 0, 0, 0, 7), "2015-01-01T00:00:00.007Z"},
      {"before the epoch rounds down", tq::Date{milliseconds{-1}}, "1969-12-31T23:59:59.999Z"},
      {"end of a leap day", utc(2016, 2, 29, 23, 59, 59, 999), "2016-02-29T23:59:59.999Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TLBRCloudSDKSyncDateUtils::xmlStringFromDate(c.date), c.expected);
    EXPECT_EQ(TLBRCloudSDKSyncDateUtils::dateFromXMLString(c.expected), c.date);
  }
}

TEST(TLBRCloudSDKSyncDateUtils, WritesYearsPastTheFourDigitsWhole) {
  // The reader takes four-digit years only; the writer must still never show another date.
  const struct {
    const char* reason;
    tq::Date date;
    const char* expected;
  } cases[] = {
      {"the first day of year 10000", tq::Date{std::chrono::days{2932897}},
       "10000-01-01T00:00:00.000Z"},
      {"past year 32767, where the standard calendar types wrap",
       tq::Date{milliseconds{4121409579738279986}}, "130604240-06-14T11:44:39.986Z"},
      {"the last moment a date can hold", tq::Date{milliseconds{INT64_MAX}},
       "292278994-08-17T07:12:55.807Z"},
      {"the first moment a date can hold", tq::Date{milliseconds{INT64_MIN}},
       "-292275055-05-16T16:47:04.192Z"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TLBRCloudSDKSyncDateUtils::xmlStringFromDate(c.date), c.expected);
    EXPECT_GT(std::abs(tq::utcYear(c.date)), 9999);
  }
}

}  // namespace
