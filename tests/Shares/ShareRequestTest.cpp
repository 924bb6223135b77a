// The share records' checks and the requests the share operations send, as the stand-in service
// receives them.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/TQException.h"
#include "tests/Shares/ShareCalls.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ShareState.h"

namespace {

using sharetest::Creation;
using sharetest::deletion;
using sharetest::Listing;
using sharetest::record;

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

// The reason of the exception the record's check raises; nullopt when it passes.
std::optional<std::string> rejection(const std::shared_ptr<TQResourceAPIParams>& params,
                                     const char* token = "token") {
  params->accessToken = token;
  try {
    params->validateParameters();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

class ShareRequestTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }
};

TEST_F(ShareRequestTest, ChecksRunInOrderAndTheFirstFailureNamesItself) {
  const std::vector<TQResourceShareAPIParams> one = {{.location = "/a"}};
  const struct {
    std::shared_ptr<TQResourceAPIParams> params;
    const char* token;
    std::optional<std::string> reason;
    const char* why;
  } cases[] = {
      {record(Listing{}), "", missing("access_token"), "listing: no token"},
      {record(Listing{.count = -1, .filter = "inbound"}), "token", missing("Negative count"),
       "the count before the filter"},
      {record(Listing{.filter = "inbound"}), "token", missing("valid filter value"), "inbound"},
      {record(Listing{.filter = "Outbound"}), "token", missing("valid filter value"), "case"},
      {record(Listing{.filter = ""}), "token", missing("valid filter value"), "no filter"},
      {record(Listing{}), "token", std::nullopt, "a new record lists outbound shares"},
      {record(Creation{.resources = one}), "", missing("access_token"), "creation: no token"},
      {record(Creation{.expiresIn = TQNumber::integer(-5)}), "token", missing("Negative expiresIn"),
       "expiresIn before resources"},
      {record(Creation{.resources = one, .expiresIn = TQNumber::real(-0.5)}), "token",
       missing("Negative expiresIn"), "a negative fraction is negative"},
      {record(Creation{.resources = one, .expiresIn = TQNumber::integer(3'000'000'000)}), "token",
       std::nullopt, "3,000,000,000 is positive, whatever 32 bits make of it"},
      {record(Creation{.resources = one, .expiresIn = TQNumber::integer(-4'294'967'296)}), "token",
       missing("Negative expiresIn"), "a negative number whose low 32 bits are zero"},
      {record(Creation{}), "token", missing("Resources"), "no resources"},
      {record(Creation{.resources = one}), "token", std::nullopt, "no expiresIn is no expiry"},
      {deletion("x"), "", missing("access_token"), "deletion: no token"},
      {deletion(""), "token", missing("shareUid"), "no share named"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(rejection(c.params, c.token), c.reason);
  }
}

TEST_F(ShareRequestTest, RequestsAsTheServiceReceivesThem) {
  auto& shares = server().state<testserver::ShareState>();
  for (const char* uid : {"a b?c#d", "a b", "../x", "a/b", "\xC3\xA9t\xC3\xA9", "100%"}) {
    shares.add({{"uid", uid}});
  }
  const auto listing = [](const Listing& fields) {
    return [fields] { return sharetest::fetch(record(fields)).status(); };
  };
  const auto creation = [](const Creation& fields) {
    return [fields] { return sharetest::create(record(fields)).status(); };
  };
  const auto removal = [](const char* uid) {
    return [uid] { return sharetest::remove(uid)->statusCode(); };
  };
  const TQResourceShareAPIParams full = {
      .name = "a.jpg", .type = "file", .subType = "image", .location = "/P/a.jpg", .size = 12};
  const TQResourceShareAPIParams bare = {.name = "", .location = "/b"};

  const struct {
    std::function<int()> run;
    std::string method;
    std::string target;
    std::string body;
    int status;
    const char* why;
  } cases[] = {
      {listing({}), "GET", "/cloud/1/shares?filter=outbound", "", 200, "a new record"},
      {listing({.since = "2024-05-01T11:00:00+01:00", .until = "2024-05-01T10:30:00Z"}), "GET",
       "/cloud/1/"
       "shares?filter=outbound&since=2024-05-01T11:00:00%2B01:00&until=2024-05-01T10:30:00Z",
       "", 200, "a + in an offset stays a +"},
      {listing({.cursor = "+/8=", .count = 2}), "GET",
       "/cloud/1/shares?filter=outbound&cursor=%2B/8%3D&count=2", "", 400,
       "a Base64 cursor arrives whole (this server never issued it)"},
      {listing({.cursor = "a&b=c#d e%41\xC3\xA9"}), "GET",
       "/cloud/1/shares?filter=outbound&cursor=a%26b%3Dc%23d%20e%41%C3%A9", "", 400,
       "no value adds or cuts a pair; a % the host wrote stays"},
      {creation({.resources = {full}, .expiresIn = TQNumber::integer(3'000'000'000)}), "POST",
       "/cloud/1/shares",
       R"({"expiresIn":3000000000,"resources":[{"name":"a.jpg","type":"file","subType":"image","location":"/P/a.jpg","size":12}]})",
       201, "every field; expiresIn at its full width"},
      {creation({.name = "Trip", .resources = {bare, full}}), "POST", "/cloud/1/shares",
       R"({"name":"Trip","resources":[{"name":"","location":"/b"},{"name":"a.jpg","type":"file","subType":"image","location":"/P/a.jpg","size":12}]})",
       201, "an empty resource name is sent, a size of 0 is not"},
      {removal("a b?c#d"), "DELETE", "/cloud/1/shares/a%20b%3Fc%23d", "", 204,
       "? and # stay in the UID"},
      {removal("../x"), "DELETE", "/cloud/1/shares/%2E%2E/x", "", 204, "a dot segment stays"},
      {removal("a/b"), "DELETE", "/cloud/1/shares/a/b", "", 204, "a / stays"},
      {removal("\xC3\xA9t\xC3\xA9"), "DELETE", "/cloud/1/shares/%C3%A9t%C3%A9", "", 204,
       "non-ASCII"},
      {removal("100%25"), "DELETE", "/cloud/1/shares/100%25", "", 204,
       "a % the host wrote stays: the host encoded it"},
      {removal("a b?c#d"), "DELETE", "/cloud/1/shares/a%20b%3Fc%23d", "", 404, "gone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    EXPECT_EQ(c.run(), c.status);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, c.method);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    EXPECT_EQ(requests[0].header("Content-Type"),
              c.method == "POST" ? std::optional<std::string>("application/json") : std::nullopt);
  }
  const auto left = shares.shares();
  ASSERT_EQ(left.size(), 3U) << "the decoy and the two new shares";
  EXPECT_EQ(left[0]["uid"], "a b");
}

TEST_F(ShareRequestTest, ABadRecordRaisesWithNothingSentOrRegistered) {
  std::atomic<bool> handlerRan = false;
  const auto sdk = TQAPISDK::sharedInstance();
  const std::function<void()> starts[] = {
      [&] { sdk->fetchShare(nullptr, [&](auto&, auto&) { handlerRan = true; }); },
      [&] { sdk->createShare(record(Creation{}), [&](auto&, auto&) { handlerRan = true; }); },
      [&] { sdk->deleteShare(deletion(""), [&](auto&) { handlerRan = true; }); },
  };
  for (const auto& start : starts) {
    EXPECT_THROW(start(), TQException);
    EXPECT_EQ(sdk->apiArray().count(), 0U);
  }
  drainMainQueue();
  EXPECT_FALSE(handlerRan);
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
