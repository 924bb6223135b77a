// The sign-in page's reading of the redirect URL: any text is read without a crash or a throw;
// and for a redirect built from parameters drawn from the input, "code" and "error" are the
// values of the first parameters of those names, before or after the URL type has read and
// rewritten the address, which itself still names the redirect.
//
// Input: the first byte's low bit picks raw text (even) or built parameters (odd).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/View/TQAuthorizationViewController.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr std::string_view kRedirect = "https://redirect.example/callback";

void readRaw(std::string_view text) {
  (void)TQAuthorizationViewController::didUserApprove(text);
  (void)TQAuthorizationViewController::parseAuthCodeFromAuthURL(text);
  if (const auto url = tq::URL::URLWithString(text)) {
    (void)TQAuthorizationViewController::parseAuthCodeFromAuthURL(url->absoluteString());
  }
}

struct Expected {
  std::optional<std::string> code;
  std::optional<std::string> error;
};

void checkParameters(std::string_view text, const Expected& expected) {
  fuzz::check(TQAuthorizationViewController::parseAuthCodeFromAuthURL(text) == expected.code,
              "the code is the value of the first code parameter");
  fuzz::check(TQAuthorizationViewController::didUserApprove(text) == expected.error,
              "the error is the value of the first error parameter");
}

void checkBuilt(FuzzedDataProvider& input) {
  std::string text(kRedirect);
  Expected expected;
  char separator = '?';
  const auto pieces = input.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < pieces; ++i) {
    std::string key = input.PickValueInArray<std::string>(
        {"code", "error", "state", "Code", "code ", "error_description", "co%64e", ""});
    if (input.ConsumeBool()) {
      key = input.ConsumeRandomLengthString(16);
    }
    const bool hasValue = input.ConsumeBool();
    const std::string value = input.ConsumeRandomLengthString(32);
    text += separator;
    separator = '&';
    text += NSString_HelperMethods::stringByAddingPercentEncoding(key);
    if (hasValue) {
      text += '=';
      text += NSString_HelperMethods::stringByAddingPercentEncoding(value);
    }
    // A piece without "=" names the parameter with an empty value.
    const std::string written = hasValue ? value : std::string();
    if (key == "code" && !expected.code) {
      expected.code = written;
    }
    if (key == "error" && !expected.error) {
      expected.error = written;
    }
  }
  if (input.ConsumeBool()) {
    // What follows "#" is no parameter, however it looks.
    text += "#code=fragment&error=fragment";
  }
  checkParameters(text, expected);

  const auto url = tq::URL::URLWithString(text);
  fuzz::check(url.has_value(), "a built redirect is a URL");
  const std::string& rewritten = url->absoluteString();
  fuzz::check(rewritten.substr(0, rewritten.find_first_of("?#")) == kRedirect,
              "the URL type keeps the redirect's address");
  checkParameters(rewritten, expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return fuzz::splitOnFirstByte(data, size, "reading a redirect", readRaw,
                                "reading a built redirect", checkBuilt);
}
