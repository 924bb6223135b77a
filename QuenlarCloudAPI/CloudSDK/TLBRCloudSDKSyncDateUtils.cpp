#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"

#include <chrono>

#include "QuenlarCloudAPI/Platform/DateText.h"

namespace {

using namespace std::chrono;

// yyyy-MM-dd'T'HH:mm:ss'Z'
std::optional<tq::Date> readUTC(std::string_view text) {
  tq::DateFieldReader reader(text);
  auto date = tq::readDateAndTime(reader, 'T');
  if (!date || !reader.literal('Z') || !reader.atEnd()) {
    return std::nullopt;
  }
  return date;
}

// yyyy-MM-dd HH:mm:ss Z, the zone written as a sign, two digits of hours and two of minutes.
std::optional<tq::Date> readWithOffset(std::string_view text) {
  tq::DateFieldReader reader(text);
  auto date = tq::readDateAndTime(reader, ' ');
  int sign = 0;
  int h = 0;
  int mi = 0;
  if (!date || !reader.literal(' ') || !reader.sign(sign) || !reader.number(2, 0, 23, h) ||
      !reader.number(2, 0, 59, mi) || !reader.atEnd()) {
    return std::nullopt;
  }
  // The fields are local time at the offset; UTC is that time minus the offset.
  return *date - sign * (hours{h} + minutes{mi});
}

}  // namespace

std::optional<tq::Date> TLBRCloudSDKSyncDateUtils::dateFromXMLString(std::string_view text) {
  for (auto* reader : {tq::dateFromUTCMillisecondsText, readUTC, readWithOffset}) {
    if (auto date = reader(text)) {
      return date;
    }
  }
  return std::nullopt;
}

std::string TLBRCloudSDKSyncDateUtils::xmlStringFromDate(tq::Date date) {
  return tq::utcMillisecondsText(date);
}
