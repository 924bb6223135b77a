// Account information and the LCID lookup through the facade, and the reading of their answers
// and of token answers, which are untrusted.
#include <gtest/gtest.h>

#include <algorithm>

#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPI.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/AccountRoutes.h"

namespace {

using testsupport::Latch;

struct LCIDDelivery {
  Latch done;
  std::optional<tq::JSON> lcid;
  std::shared_ptr<TQAPIQueryResponse> response;
};

class TQAccountTest : public testsupport::ServerFixture {
 protected:
  std::shared_ptr<LCIDDelivery> fetchLCID(const std::string& id) {
    auto params = std::make_shared<TQLCIDAPIParams>();
    params->ID = id;
    auto delivery = std::make_shared<LCIDDelivery>();
    TQAPISDK::sharedInstance()->fetchLCID(params,
                                          [delivery](const std::optional<tq::JSON>& lcid,
                                                     const std::shared_ptr<TQAPIQueryResponse>& r) {
                                            delivery->lcid = lcid;
                                            delivery->response = r;
                                            delivery->done.countDown();
                                          });
    EXPECT_EQ(params->accessToken, "test-access-token") << "the host's record gets the token";
    EXPECT_TRUE(delivery->done.wait());
    return delivery;
  }
};

TEST_F(TQAccountTest, AccountInformation) {
  signIn();
  Latch done;
  std::shared_ptr<TQAccountInfo> info;
  TQAPISDK::sharedInstance()->fetchAccountInfoWithCompletionHandler(
      [&](const std::shared_ptr<TQAccountInfo>& i, const std::shared_ptr<TQAPIQueryResponse>&) {
        info = i;
        done.countDown();
      });
  ASSERT_TRUE(done.wait());
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->quota(), 5368709120);
  EXPECT_EQ(info->quotaUsed(), 1073741824);
  EXPECT_EQ(info->ID(), "account-1");
  EXPECT_EQ(info->alias(), "alias@example.test");
}

TEST_F(TQAccountTest, LCIDValuesCannotAddParametersOrBreakTheURL) {
  signIn();
  const struct {
    std::string id;
    std::string target;
  } cases[] = {
      {"plain", "/cloud/1/lcid?id=plain"},
      {"a&b=c d", "/cloud/1/lcid?id=a%26b%3dc%20d"},
      {"x#y+z/q", "/cloud/1/lcid?id=x%23y%2bz/q"},
      // Letters stay as they are; the URL itself escapes their bytes.
      {"Ünïcödé", "/cloud/1/lcid?id=%c3%9cn%c3%afc%c3%b6d%c3%a9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    server().clearLog();
    const auto delivery = fetchLCID(c.id);
    EXPECT_EQ(delivery->lcid, tq::JSON("LCID-" + c.id)) << "the server saw the whole id";
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    std::string target = requests[0].target;
    std::transform(target.begin(), target.end(), target.begin(),
                   [](unsigned char ch) { return ch >= 'A' && ch <= 'F' ? ch + 32 : ch; });
    EXPECT_EQ(target, c.target);
  }
}

TEST_F(TQAccountTest, LCIDAnswers) {
  signIn();
  const struct {
    testserver::Answer answer;
    std::optional<tq::JSON> lcid;
    const char* why;
  } cases[] = {
      {{.body = R"({"lcid": 42})"}, tq::JSON(42), "whatever JSON value the server sent"},
      {{.body = R"({"lcid": null})"}, std::nullopt, "null is absent"},
      {{.body = R"({"other": 1})"}, std::nullopt, "absent"},
      {{.body = R"(["lcid"])"}, std::nullopt, "an array where an object belongs"},
      {{.body = "lcid"}, std::nullopt, "not JSON"},
      {{.status = 404, .body = R"({"lcid": "x"})"}, std::nullopt, "not the expected status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/lcid", c.answer);
    EXPECT_EQ(fetchLCID("id")->lcid, c.lcid);
  }
}

TEST_F(TQAccountTest, TheServerWantsABearerToken) {
  httplib::Client client("127.0.0.1", server().port());
  const httplib::Headers bearer = {{"Authorization", "Bearer x"}};
  for (const char* path : {"/cloud/1/account", "/cloud/1/lcid?id=1"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(client.Get(path)->status, 401);
    EXPECT_EQ(client.Get(path, {{"Authorization", "Bearer "}})->status, 401);
    EXPECT_EQ(client.Get(path, bearer)->status, 200);
  }
  EXPECT_EQ(client.Get("/cloud/1/lcid", bearer)->status, 400);
}

TEST(TQAccountInfoTest, UntrustedAnswers) {
  const struct {
    const char* json;
    int64_t quota, quotaUsed;
    std::optional<std::string> ID, alias;
    const char* why;
  } cases[] = {
      {R"({"id": 12345, "alias": "a"})", 0, 0, "12345", "a", "a numeric id reads as decimal text"},
      {R"({"id": 1.5, "alias": true})", 0, 0, "1.5", "1", "reals and booleans in their text form"},
      {R"({"id": null, "alias": null})", 0, 0, std::nullopt, std::nullopt, "null is absent"},
      {R"({"usage": {"quota": "77", "quotaUsed": 2.9}})", 77, 2, std::nullopt, std::nullopt,
       "numeric text and reals"},
      {R"({"usage": {"quota": 1e300, "quotaUsed": -1e300}})", INT64_MAX, INT64_MIN, std::nullopt,
       std::nullopt, "out of range clamps"},
      {R"({"usage": {"quota": 18446744073709551615}})", INT64_MAX, 0, std::nullopt, std::nullopt,
       "too large an integer clamps"},
      {R"({"usage": [1, 2]})", 0, 0, std::nullopt, std::nullopt, "usage of the wrong shape"},
      {R"({"usage": {"quota": {"a": 1}}})", 0, 0, std::nullopt, std::nullopt, "quota an object"},
      {R"([{"id": "x"}])", 0, 0, std::nullopt, std::nullopt, "an array, not an object"},
      {"null", 0, 0, std::nullopt, std::nullopt, "nothing at all"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto info = TQAccountInfo::initWithDict(tq::JSON::parse(c.json));
    EXPECT_EQ(info->quota(), c.quota);
    EXPECT_EQ(info->quotaUsed(), c.quotaUsed);
    EXPECT_EQ(info->ID(), c.ID);
    EXPECT_EQ(info->alias(), c.alias);
  }
}

TEST(TQAuthenticationResponseTest, UntrustedTokenAnswers) {
  const struct {
    const char* json;
    std::string accessToken, refreshToken;
    double expiresIn;
    bool authenticated;
  } cases[] = {
      {R"({"access_token": "a", "refresh_token": "r", "expires_in": 3600})", "a", "r", 3600, true},
      {R"({"access_token": "", "expires_in": "120"})", "", "", 120, false},
      {R"({"access_token": 5, "refresh_token": null, "expires_in": [1]})", "", "", 0, false},
      {R"(["access_token"])", "", "", 0, false},
      {"null", "", "", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const auto tokens = TQAuthenticationResponse::initWithDict(tq::JSON::parse(c.json));
    EXPECT_EQ(tokens->accessToken(), c.accessToken);
    EXPECT_EQ(tokens->refreshToken(), c.refreshToken);
    EXPECT_EQ(tokens->expiresIn(), c.expiresIn);
    EXPECT_EQ(tokens->isAuthenticated(), c.authenticated);
  }
}

}  // namespace
