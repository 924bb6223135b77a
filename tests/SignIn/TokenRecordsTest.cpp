// The token and page records: which missing field each check names first, and the encoding that
// keeps the token endpoint's query values whole.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthByTokenAPIParams.h"
#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/Token_API/TQAccessTokenAPIParams.h"
#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPIParams.h"
#include "QuenlarCloudAPI/API/Token_API/TQRevokeTokenAPIParams.h"
#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

namespace {

struct CheckCase {
  const char* reason;
  std::function<std::shared_ptr<TQAPIParams>()> record;
  const char* missingKey;  // nullptr: the record passes
};

void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.reason; }

class RecordChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(RecordChecks, NameTheFirstMissingField) {
  const auto& c = GetParam();
  const auto record = c.record();
  if (c.missingKey == nullptr) {
    EXPECT_TRUE(record->validateParameters()) << c.reason;
    return;
  }
  try {
    record->validateParameters();
    ADD_FAILURE() << c.reason << ": nothing raised";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), std::string(c.missingKey) + " <REQUIRED PARAMETER> is missing.")
        << c.reason;
  }
}

std::shared_ptr<TQRefreshTokenAPIParams> refresh(std::string secret, std::string token) {
  auto record = std::make_shared<TQRefreshTokenAPIParams>();
  record->clientID = "client";
  record->clientSecret = std::move(secret);
  record->refreshToken = std::move(token);
  record->grantType = "refresh_token";
  return record;
}

std::shared_ptr<TQAccessTokenAPIParams> exchange(std::string code, std::string redirect) {
  auto record = std::make_shared<TQAccessTokenAPIParams>();
  record->clientID = "client";
  record->clientSecret = "secret";
  record->authCode = std::move(code);
  record->redirectURLString = std::move(redirect);
  record->grantType = "authorization_code";
  return record;
}

std::shared_ptr<TQAuthByTokenAPIParams> partnerPage(std::string xdmToken, std::string mdn) {
  auto record = std::make_shared<TQAuthByTokenAPIParams>();
  record->clientID = "client";
  record->redirectURLString = "app://cb";
  record->responseType = "code";
  record->xdmToken = std::move(xdmToken);
  record->mdn = std::move(mdn);
  return record;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordChecks,
    ::testing::Values(
        CheckCase{"a refresh without a secret names the secret before the refresh token",
                  [] { return refresh("", ""); }, "client_secret"},
        CheckCase{"a refresh without a refresh token", [] { return refresh("s", ""); },
                  "refresh_token"},
        CheckCase{"a complete refresh", [] { return refresh("s", "r"); }, nullptr},
        CheckCase{"an exchange without a code", [] { return exchange("", "app://cb"); }, "code"},
        CheckCase{"an exchange without a redirect URL", [] { return exchange("c", ""); },
                  "redirect_uri"},
        CheckCase{"a revocation without a token",
                  [] {
                    auto record = std::make_shared<TQRevokeTokenAPIParams>();
                    record->clientID = "client";
                    record->clientSecret = "secret";
                    return record;
                  },
                  "access_token"},
        CheckCase{"a page whose redirect URL makes no URL",
                  [] {
                    auto record = std::make_shared<TQAuthorizationAPIParams>();
                    record->clientID = "client";
                    record->redirectURLString = "no scheme";
                    record->responseType = "code";
                    return record;
                  },
                  "redirect_uri"},
        CheckCase{"a partner page without its token", [] { return partnerPage("", ""); },
                  "xdmToken"},
        CheckCase{"a partner page without the MDN", [] { return partnerPage("t", ""); }, "mdn"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct EncodingCase {
  const char* reason;
  const char* value;
  const char* encoded;
};

void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.reason; }

class TokenQueryValues : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(TokenQueryValues, CannotAddCutOrBlankParameters) {
  EXPECT_EQ(TQTokenRequest::encodedQueryValue(GetParam().value), GetParam().encoded)
      << GetParam().reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenQueryValues,
    ::testing::Values(EncodingCase{"the query separators", "a&b=c+d#e", "a%26b%3Dc%2Bd%23e"},
                      EncodingCase{"what the URL-query set keeps stays",
                                   "https://h/p?x;y@z!$'()*,-._~", "https://h/p?x;y@z!$'()*,-._~"},
                      EncodingCase{"blanks, percent signs and non-ASCII", "a b%c\xC3\xA9",
                                   "a%20b%25c%C3%A9"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
