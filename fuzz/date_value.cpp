// The date writers: any date, as the store may hold it (milliseconds since the epoch), is written
// without harm; one in the years 0000-9999 writes as text that reads back as the same date, and
// one outside them as text that no reader takes for a date. date_text.cpp starts from the text.
//
// Input: the first eight bytes, in the machine's order, are the milliseconds.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Platform/DateText.h"
#include "fuzz/FuzzSupport.h"

namespace {

// 0000-01-01T00:00:00.000Z and 9999-12-31T23:59:59.999Z: the years every writer spells in four
// digits, which are the only ones the readers take back.
constexpr int64_t kFirstFourDigitYear = -62167219200000;
constexpr int64_t kLastFourDigitYear = 253402300799999;

void checkDate(tq::Date date) {
  const int64_t count = date.time_since_epoch().count();
  const bool fourDigitYear = count >= kFirstFourDigitYear && count <= kLastFourDigitYear;
  const std::string query = TLBRCloudSDKSyncDateUtils::xmlStringFromDate(date);
  const auto queryBack = TLBRCloudSDKSyncDateUtils::dateFromXMLString(query);
  fuzz::check(fourDigitYear ? queryBack == date : !queryBack.has_value(),
              "a query date reads back exactly when its year has four digits");
  const std::string utc = tq::utcMillisecondsText(date);
  fuzz::check(utc == query, "the query form is the UTC form with milliseconds");
  const auto resource = NSDictionary_TQResource::apiDateFormatter().stringFromDate(date);
  fuzz::check(resource.has_value() == fourDigitYear &&
                  (!resource ||
                   (*resource == utc &&
                    NSDictionary_TQResource::apiDateFormatter().dateFromString(*resource) == date)),
              "a resource date is written, and reads back, exactly when its year has four digits");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  int64_t count = 0;
  if (size < sizeof count) {
    return 0;
  }
  std::memcpy(&count, data, sizeof count);
  fuzz::guarded("writing a date", [&] { checkDate(tq::Date{std::chrono::milliseconds{count}}); });
  return 0;
}
