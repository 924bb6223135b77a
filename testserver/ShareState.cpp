#include "testserver/ShareState.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace testserver {
namespace {

using JSON = ShareState::JSON;
using std::chrono::days;
using std::chrono::milliseconds;
using std::chrono::sys_days;

std::string base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    uint32_t group = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - at);
    for (std::size_t i = 0; i < 3; ++i) {
      group = (group << 8U) | (i < n ? static_cast<unsigned char>(bytes[at + i]) : 0U);
    }
    for (std::size_t i = 0; i < 4; ++i) {
      text += i <= n ? kAlphabet[(group >> (18 - 6 * i)) & 0x3FU] : '=';
    }
  }
  return text;
}

// Exactly `width` digits at `at`, within [low, high].
bool digits(std::string_view text, std::size_t at, std::size_t width, int low, int high, int& out) {
  if (at + width > text.size()) {
    return false;
  }
  out = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    out = out * 10 + (text[i] - '0');
  }
  return out >= low && out <= high;
}

bool inWindow(const JSON& share, std::optional<int64_t> since, std::optional<int64_t> until) {
  if (!since && !until) {
    return true;
  }
  const auto found = share.find("creationDate");
  const auto created = found != share.end() && found->is_string()
                           ? shareDateMilliseconds(found->get<std::string>())
                           : std::nullopt;
  return created && (!since || *created >= *since) && (!until || *created < *until);
}

}  // namespace

std::string shareDateText(int64_t milliseconds) {
  const std::chrono::sys_time<std::chrono::milliseconds> time{
      std::chrono::milliseconds(milliseconds)};
  const auto day = std::chrono::floor<days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss clock{time - day};
  char text[32];
  std::snprintf(
      text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
      static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
      static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

std::optional<int64_t> shareDateMilliseconds(std::string_view text) {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  if (!digits(text, 0, 4, 0, 9999, year) || text.substr(4, 1) != "-" ||
      !digits(text, 5, 2, 1, 12, month) || text.substr(7, 1) != "-" ||
      !digits(text, 8, 2, 1, 31, day) || text.substr(10, 1) != "T" ||
      !digits(text, 11, 2, 0, 23, hour) || text.substr(13, 1) != ":" ||
      !digits(text, 14, 2, 0, 59, minute) || text.substr(16, 1) != ":" ||
      !digits(text, 17, 2, 0, 59, second)) {
    return std::nullopt;
  }
  std::size_t at = 19;
  if (text.substr(at, 1) == "." && digits(text, at + 1, 3, 0, 999, millisecond)) {
    at += 4;
  }
  int offsetMinutes = 0;
  if (text.substr(at) == "Z") {
    at += 1;
  } else if (int hours = 0, minutes = 0; (text.substr(at, 1) == "+" || text.substr(at, 1) == "-") &&
                                         digits(text, at + 1, 2, 0, 23, hours) &&
                                         text.substr(at + 3, 1) == ":" &&
                                         digits(text, at + 4, 2, 0, 59, minutes)) {
    offsetMinutes = (text[at] == '+' ? 1 : -1) * (hours * 60 + minutes);
    at += 6;
  }
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                         std::chrono::day(day)};
  if (at != text.size() || !date.ok()) {
    return std::nullopt;
  }
  const auto time = sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
                    std::chrono::seconds(second) + milliseconds(millisecond) -
                    std::chrono::minutes(offsetMinutes);
  return time.time_since_epoch().count();
}

void ShareState::add(JSON share) {
  if (!share.contains("uid") || !share["uid"].is_string()) {
    throw std::invalid_argument("a share needs a text uid");
  }
  std::lock_guard lock(mutex_);
  const auto taken = std::any_of(shares_.begin(), shares_.end(), [&](const JSON& other) {
    return other.at("uid") == share["uid"];
  });
  if (taken) {
    throw std::invalid_argument("share uid taken: " + share["uid"].get<std::string>());
  }
  shares_.push_back(std::move(share));
}

JSON ShareState::create(const JSON& body, const std::string& baseURL) {
  std::lock_guard lock(mutex_);
  const int64_t number = ++created_;
  const std::string uid = "share-" + std::to_string(number);
  const int64_t createdAt = kFirstCreation + (number - 1) * 60'000;
  JSON share = {{"uid", uid}, {"name", body.value("name", "Share " + std::to_string(number))}};
  const JSON& resources = body.at("resources");
  share["totalResourceCount"] = resources.size();
  share["owner"] = {{"uid", "user-1"}};
  share["sharer"] = {{"uid", "user-1"}};
  const std::string shareURL = baseURL + "/cloud/1/shares/" + uid;
  share["links"] = JSON::array({{{"rel", "self"}, {"link", shareURL}}});
  if (body.contains("expiresIn")) {
    share["expiresIn"] = body.at("expiresIn");
    share["expirationDate"] = shareDateText(createdAt + body.at("expiresIn").get<int64_t>() * 1000);
  }
  share["creationDate"] = shareDateText(createdAt);
  share["lastModifiedDate"] = shareDateText(createdAt);
  share["publicInviteKey"] = "invite-" + std::to_string(number);
  share["resources"] = JSON::array();
  for (std::size_t i = 0; i < resources.size(); ++i) {
    JSON resource = resources[i];
    const std::string resourceUID = uid + "-r" + std::to_string(i + 1);
    resource["uid"] = resourceUID;
    resource["resourceId"] = "res-" + std::to_string(number) + "-" + std::to_string(i + 1);
    resource["contentToken"] = "ct-" + resourceUID;
    resource["lastModifiedDate"] = shareDateText(createdAt);
    std::string url = shareURL;
    url += "/resources/";
    url += resourceUID;
    resource["url"] = std::move(url);
    share["resources"].push_back(std::move(resource));
  }
  shares_.push_back(share);
  return share;
}

bool ShareState::remove(const std::string& uid) {
  std::lock_guard lock(mutex_);
  const auto found = std::find_if(shares_.begin(), shares_.end(),
                                  [&](const JSON& share) { return share.at("uid") == uid; });
  if (found == shares_.end()) {
    return false;
  }
  shares_.erase(found);
  return true;
}

std::vector<JSON> ShareState::shares() const {
  std::lock_guard lock(mutex_);
  return shares_;
}

std::optional<ShareState::Page> ShareState::page(const std::optional<std::string>& cursor,
                                                 std::size_t count, std::optional<int64_t> since,
                                                 std::optional<int64_t> until) {
  std::lock_guard lock(mutex_);
  std::size_t offset = 0;
  if (cursor) {
    const auto found = cursors_.find(*cursor);
    if (found == cursors_.end()) {
      return std::nullopt;
    }
    offset = found->second;
  }
  Page page;
  for (const JSON& share : shares_) {
    if (!inWindow(share, since, until)) {
      continue;
    }
    if (page.total >= offset && page.shares.size() < count) {
      page.shares.push_back(share);
    }
    ++page.total;
  }
  if (offset + page.shares.size() < page.total) {
    page.nextCursor = cursorFor(offset + page.shares.size());
  }
  return page;
}

std::string ShareState::cursorFor(std::size_t offset) {
  // Leading bytes 0xFB 0xFF put "+/" at the front of the text, and the length varies the padding.
  std::string cursor = base64("\xFB\xFF" + std::to_string(offset));
  cursors_[cursor] = offset;
  return cursor;
}

}  // namespace testserver
