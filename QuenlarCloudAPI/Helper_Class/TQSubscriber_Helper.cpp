#include "QuenlarCloudAPI/Helper_Class/TQSubscriber_Helper.h"

#include <algorithm>
#include <cstddef>

#include "QuenlarCloudAPI/Platform/Device.h"

namespace {

constexpr std::size_t kMDNLength = 10;

// The carrier token when it can be split: ASCII text of at least the MDN's length. A shorter
// token has no MDN, and cutting it anyway would send a wrong one.
std::optional<std::string> splittableToken() {
  auto token = tq::Device::carrierToken();
  if (!token || token->size() < kMDNLength ||
      !std::all_of(token->begin(), token->end(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::nullopt;
  }
  return token;
}

}  // namespace

std::optional<std::string> TQSubscriber_Helper::MDNOfSubscriber() {
  const auto token = splittableToken();
  return token ? std::optional(token->substr(0, kMDNLength)) : std::nullopt;
}

std::optional<std::string> TQSubscriber_Helper::SPCTokenForSubscriber() {
  const auto token = splittableToken();
  return token ? std::optional(token->substr(kMDNLength)) : std::nullopt;
}
