#include <gtest/gtest.h>

#include <string>

#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"
#include "QuenlarCloudAPI/APILogger/TQAPILogRedaction.h"

namespace {

struct TextCase {
  const char* reason;
  std::string input;
  std::string expected;
};

// `levels` arrays, each holding the next.
std::string nestedArrays(int levels) {
  return std::string(static_cast<std::size_t>(levels), '[') +
         std::string(static_cast<std::size_t>(levels), ']');
}

TEST(TQAPILogRedaction, URLsLoseTheValuesOfSecretParameters) {
  const TextCase cases[] = {
      {"each secret name in the query", "http://h/t?client_secret=s1&code=s2&x=1",
       "http://h/t?client_secret=<redacted>&code=<redacted>&x=1"},
      {"tokens of every kind", "http://h/t?refresh_token=a&access_token=b&token=c",
       "http://h/t?refresh_token=<redacted>&access_token=<redacted>&token=<redacted>"},
      {"names in any letter case", "http://h/t?Client_Secret=a&CODE=b&Access_Token=c",
       "http://h/t?Client_Secret=<redacted>&CODE=<redacted>&Access_Token=<redacted>"},
      {"a percent-encoded name is still a secret", "http://h/t?access%5Ftoken=a",
       "http://h/t?access%5Ftoken=<redacted>"},
      {"a secret in the fragment", "http://h/cb#access_token=a&state=s",
       "http://h/cb#access_token=<redacted>&state=s"},
      {"names that only contain a secret name stay", "http://h/t?zipcode=1&tokens=2&mycode=3",
       "http://h/t?zipcode=1&tokens=2&mycode=3"},
      {"a secret name as a value stays", "http://h/t?grant_type=refresh_token",
       "http://h/t?grant_type=refresh_token"},
      {"a name without a value stays", "http://h/t?code&x", "http://h/t?code&x"},
      {"a value holding '=' is redacted whole", "http://h/t?token=a=b&y=1",
       "http://h/t?token=<redacted>&y=1"},
      {"no query, nothing to do", "http://h/cloud/1/metadata", "http://h/cloud/1/metadata"},
      {"names ending in a token, secret, password or key word, in any spelling",
       "http://h/t?xdm_token=a&accessToken=b&user%5Bpassword%5D=c&app-Secret=d&API_KEY=e",
       "http://h/t?xdm_token=<redacted>&accessToken=<redacted>&user%5Bpassword%5D=<redacted>&"
       "app-Secret=<redacted>&API_KEY=<redacted>"},
      {"names that only begin with a secret word stay", "http://h/t?token_type=b&password_hint=h",
       "http://h/t?token_type=b&password_hint=h"},
      {"user information goes whole, even with an unescaped '@'", "https://u:p@ss@h:8443/t",
       "https://<redacted>@h:8443/t"},
      {"'@' past the host is no user information", "http://h/a@b?m=c@d", "http://h/a@b?m=c@d"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQAPILogRedaction::redactedURLString(c.input), c.expected) << c.reason;
  }
}

TEST(TQAPILogRedaction, BodiesLoseTheValuesOfSecretMembers) {
  const TextCase cases[] = {
      {"JSON members at the top", R"({"token":"a","keep":"v"})",
       R"({"token":"<redacted>","keep":"v"})"},
      {"JSON members at any depth and in any case",
       R"({"outer":{"Refresh_Token":"a","list":[{"ACCESS_TOKEN":"b"}]}})",
       R"({"outer":{"Refresh_Token":"<redacted>","list":[{"ACCESS_TOKEN":"<redacted>"}]}})"},
      {"a secret member that is not text is redacted too", R"({"code":1234})",
       R"({"code":"<redacted>"})"},
      {"a JSON array at the top", R"([{"client_secret":"a"}])",
       R"([{"client_secret":"<redacted>"}])"},
      {"form-encoded bodies", "grant_type=authorization_code&code=a&client_secret=b",
       "grant_type=authorization_code&code=<redacted>&client_secret=<redacted>"},
      {"plain text without pairs stays", "just text", "just text"},
      {"broken JSON is read as pairs", R"({"token":"a")", R"({"token":"a")"},
      {"token and password names as nested JSON members",
       R"({"user":{"password":"a","list":[{"id_token":"b"}]},"spc_token":"c","keep":"v"})",
       R"({"user":{"password":"<redacted>","list":[{"id_token":"<redacted>"}]},)"
       R"("spc_token":"<redacted>","keep":"v"})"},
      {"token and password names in a form body", "user=u&password=a&session_token=b",
       "user=u&password=<redacted>&session_token=<redacted>"},
      {"JSON as deep as an answer may be is shown", nestedArrays(512), nestedArrays(512)},
      {"one level deeper is not shown", nestedArrays(513), "<body not shown>"},
      {"JSON followed by NUL is read as pairs, so the rest is not lost",
       std::string(R"({"a":1}&token=b)") + '\0' + "rest",
       std::string(R"({"a":1}&token=<redacted>)")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQAPILogRedaction::redactedBody(c.input), c.expected) << c.reason;
  }
}

TEST(TQAPILogRedaction, JSONValuesNestedTooDeepAreNotShown) {
  EXPECT_EQ(TQAPILogRedaction::redactedJSONText(tq::JSON::parse(nestedArrays(100000))),
            "<body not shown>");
}

TEST(TQAPILogRedaction, HeaderLinesLeaveOutCredentialsInAnyLetterCase) {
  struct Case {
    const char* reason;
    tq::HTTPHeaderFields headers;
    std::string expected;
  };
  const Case cases[] = {
      {"Authorization as the interface spells it",
       {{"Authorization", "Bearer a"}, {"Accept", "application/json"}},
       "\nkey = Accept value = application/json"},
      {"lower and upper case spellings",
       {{"authorization", "Bearer a"}, {"AUTHORIZATION", "b"}},
       ""},
      {"proxy credentials and cookies",
       {{"Proxy-Authorization", "a"}, {"cookie", "s=1"}, {"Set-Cookie", "s=2"}},
       ""},
      {"a URL in a value loses its secrets",
       {{"Location", "http://h/cb?code=a"}},
       "\nkey = Location value = http://h/cb?code=<redacted>"},
      {"no headers give empty text", {}, ""},
      {"token and key headers in any spelling",
       {{"X-Access-Token", "a"}, {"x-api-key", "b"}, {"Accept", "*/*"}},
       "\nkey = Accept value = */*"},
      {"a URL in a value loses its user information",
       {{"Content-Location", "http://u:p@h/x"}},
       "\nkey = Content-Location value = http://<redacted>@h/x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQAPIConsoleLogger::logHeader(c.headers), c.expected) << c.reason;
  }
}

}  // namespace
