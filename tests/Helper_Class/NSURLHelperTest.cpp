#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"

namespace {

TEST(NSURLHelper, ValueForParameterReadsTheQueryAsWritten) {
  struct Case {
    const char* reason;
    const char* url;
    const char* name;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"a plain parameter", "http://h/p?a=1&b=2", "b", "2"},
      {"a name given twice answers its second value", "http://h/p?a=1&a=2", "a", "2"},
      {"a value is cut at an equals sign inside it", "http://h/p?a=x=y", "a", "x"},
      {"a name without an equals sign has no value", "http://h/p?flag&a=1", "flag", std::nullopt},
      {"a name with an empty value answers empty text", "http://h/p?a=&b=1", "a", ""},
      {"values stay percent-encoded", "http://h/p?virtualfolder=My%20Files", "virtualfolder",
       "My%20Files"},
      {"names are not decoded either", "http://h/p?a%20b=1", "a b", std::nullopt},
      {"names compare with their letter case", "http://h/p?Key=1", "key", std::nullopt},
      {"a URL without a query has no parameters", "http://h/p", "a", std::nullopt},
      {"an empty query has no parameters", "http://h/p?", "a", std::nullopt},
      {"the fragment is not part of the query", "http://h/p?a=1#b=2", "b", std::nullopt},
      {"empty pieces between ampersands are skipped", "http://h/p?&&a=1&", "a", "1"},
  };
  for (const auto& c : cases) {
    const auto url = tq::URL::URLWithString(c.url);
    ASSERT_TRUE(url.has_value()) << c.reason;
    EXPECT_EQ(NSURL_Helper::valueForParameter(*url, c.name), c.expected) << c.reason;
  }
}

TEST(NSURLHelper, ParameterDictionaryHoldsEveryPairOnce) {
  const auto url = tq::URL::URLWithString("http://h/p?a=1&b=2&a=3&c");
  ASSERT_TRUE(url.has_value());
  const auto parameters = NSURL_Helper::parameterDictionary(*url);
  const std::map<std::string, std::string> expected{{"a", "3"}, {"b", "2"}};
  EXPECT_EQ(parameters, expected);
}

}  // namespace
