// URL building and the percent-encoders: whatever the text, each encoder's output decodes back to
// it and holds only the characters that encoder promises; a value placed in a query comes back out
// of the parsed URL; a path component appended to a URL is its last component; and reading a URL
// that the URL type wrote gives the same URL again.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool isAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// True when every ASCII byte of `encoded` is alphanumeric, "%" or one of `kept`; `asciiOnly`
// also refuses every byte past ASCII.
bool onlyKeeps(std::string_view encoded, std::string_view kept, bool asciiOnly) {
  for (const char c : encoded) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      if (asciiOnly) {
        return false;
      }
    } else if (!isAlphanumeric(c) && c != '%' && kept.find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

void checkEncoders(std::string_view text) {
  const std::string value = NSString_HelperMethods::stringByAddingPercentEncoding(text);
  fuzz::check(NSURL_Helper::percentDecoded(value) == text, "a value encoding decodes back");
  fuzz::check(NSURL_Helper::formDecoded(value) == text, "a value encoding decodes back as a form");
  fuzz::check(onlyKeeps(value, "-._~/?", false), "a value encoding keeps only what it promises");

  const std::string query = NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(text);
  fuzz::check(NSURL_Helper::percentDecoded(query) == text, "a query encoding decodes back");
  fuzz::check(onlyKeeps(query, "!$&'()*+,-./:;=?@_~", true),
              "a query encoding keeps only what it promises");

  const std::string search = TLBRCloudSDKSyncPredicate::urlEncodeForString(text);
  fuzz::check(NSURL_Helper::percentDecoded(search) == text, "a search encoding decodes back");
  fuzz::check(onlyKeeps(search, "-._~!*';/?@&=+$,#", true),
              "a search encoding keeps only what it promises");
}

// A value encoded for a URL survives being placed in a query, parsed and read back out.
void checkQueryValue(std::string_view text) {
  const std::string encoded = NSString_HelperMethods::stringByAddingPercentEncoding(text);
  const auto url = tq::URL::URLWithString("https://fuzz.example/p?k=" + encoded + "&z=1");
  fuzz::check(url.has_value(), "a URL with an encoded query value parses");
  const auto value = NSURL_Helper::valueForParameter(*url, "k");
  fuzz::check(value && NSURL_Helper::percentDecoded(*value) == text,
              "an encoded query value reads back");
}

void checkAppendedComponent(std::string_view component) {
  if (component.empty() || component.find('/') != std::string_view::npos) {
    return;  // not one component
  }
  static const tq::URL base = *tq::URL::URLWithString("https://fuzz.example/base/dir?q=1");
  const tq::URL appended = base.URLByAppendingPathComponent(component);
  fuzz::check(appended.lastPathComponent() == component,
              "an appended component is the last path component");
  fuzz::check(appended.host() == base.host() && appended.query() == base.query(),
              "appending a component keeps the host and the query");
}

// What the URL type writes, it reads back as the same URL.
void checkReparse(const std::string& text) {
  const auto url = tq::URL::URLWithString(text);
  if (!url) {
    return;
  }
  const auto again = tq::URL::URLWithString(url->absoluteString());
  fuzz::check(again.has_value(), "a URL's own text parses");
  fuzz::check(*again == *url && again->percentEncodedPath() == url->percentEncodedPath(),
              "a URL's own text parses as the same URL");
  (void)url->path();
  (void)url->lastPathComponent();
  (void)NSURL_Helper::parameterDictionary(*url);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::asText(data, size);
  fuzz::guarded("encoding", [&] { checkEncoders(text); });
  fuzz::guarded("a query value", [&] { checkQueryValue(text); });
  fuzz::guarded("appending a component", [&] { checkAppendedComponent(text); });
  fuzz::guarded("reading a URL", [&] {
    checkReparse(std::string(text));
    checkReparse("https://fuzz.example/" + std::string(text));
  });
  return 0;
}
