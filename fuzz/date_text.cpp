// The date readers: a text that reads as a date writes back as a text that reads as the same date
// (and, for the strict one-form readers, as the very same text). date_value.cpp starts from the
// other end.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Platform/DateText.h"
#include "fuzz/FuzzSupport.h"

namespace {

// 0000-01-01T00:00:00.000Z and 9999-12-31T23:59:59.999Z: the years every writer spells in four
// digits, which are the only ones the readers take back.
constexpr int64_t kFirstFourDigitYear = -62167219200000;
constexpr int64_t kLastFourDigitYear = 253402300799999;

void checkText(std::string_view text) {
  if (const auto date = TLBRCloudSDKSyncDateUtils::dateFromXMLString(text)) {
    // A text with an offset can name a moment just outside those years ("0000-01-01 00:00:00
    // +0100"), which then has no text that reads back.
    const int64_t count = date->time_since_epoch().count();
    const bool fourDigitYear = count >= kFirstFourDigitYear && count <= kLastFourDigitYear;
    const std::string written = TLBRCloudSDKSyncDateUtils::xmlStringFromDate(*date);
    fuzz::check(TLBRCloudSDKSyncDateUtils::dateFromXMLString(written) ==
                    (fourDigitYear ? date : std::nullopt),
                "a query date writes back as text that reads as the same date");
  }
  if (const auto date = tq::dateFromUTCMillisecondsText(text)) {
    fuzz::check(tq::utcMillisecondsText(*date) == text,
                "a date with milliseconds writes back as the text it was read from");
  }
  const auto& formatter = NSDictionary_TQResource::apiDateFormatter();
  if (const auto date = formatter.dateFromString(text)) {
    fuzz::check(formatter.stringFromDate(*date) == std::optional<std::string>(text),
                "a resource date writes back as the text it was read from");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::guarded("reading date text", [&] { checkText(fuzz::asText(data, size)); });
  return 0;
}
