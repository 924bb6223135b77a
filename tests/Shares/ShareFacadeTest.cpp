// The share operations end to end: the facade, the calls and the stand-in service's shares.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "tests/Shares/ShareCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using sharetest::Creation;
using sharetest::Listing;
using sharetest::record;
using UIDs = std::vector<std::string>;

class ShareFacadeTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  // Creates shares "share-1" to "share-<n>", made a minute apart from 10:00Z.
  static void createShares(int n) {
    for (int i = 1; i <= n; ++i) {
      const auto made = sharetest::create(record(Creation{.resources = {{.location = "/P"}}}));
      ASSERT_EQ(made.model->UID(), "share-" + std::to_string(i));
      ASSERT_TRUE(made.onMainQueue);
    }
  }

  // The UIDs of every page of the listing `fields` asks for, following the "next" links' cursors
  // as a host reads them from a link: decoded.
  static UIDs everyPage(Listing fields, int& pages) {
    UIDs all;
    for (pages = 1; pages < 20; ++pages) {
      const auto page = sharetest::fetch(record(fields));
      if (page.model == nullptr || !page.model->shareList() || !page.model->links()) {
        ADD_FAILURE() << "page " << pages << " answered " << page.status();
        return all;
      }
      for (const auto& share : *page.model->shareList()) {
        all.push_back(share->UID().value_or("nil"));
      }
      std::optional<std::string> cursor;
      for (const auto& link : *page.model->links()) {
        const auto url = tq::URL::URLWithString(link->link().value_or(""));
        if (link->rel() == "next" && url) {
          cursor = NSURL_Helper::valueForParameter(*url, "cursor");
        }
      }
      if (!cursor) {
        return all;
      }
      fields.cursor = NSURL_Helper::percentDecoded(*cursor);
    }
    return all;
  }
};

TEST_F(ShareFacadeTest, PagingFollowsTheNextLinksCursors) {
  createShares(5);
  const UIDs five = {"share-1", "share-2", "share-3", "share-4", "share-5"};
  const struct {
    Listing fields;
    UIDs uids;
    int pages;
    const char* why;
  } cases[] = {
      {{}, five, 1, "one page"},
      {{.count = 2}, five, 3, "Base64 cursors with + / = reach the server whole"},
      {{.count = 1, .since = "2024-05-01T11:01:00+01:00", .until = "2024-05-01T10:03:00.000Z"},
       {"share-2", "share-3"},
       2,
       "a window whose start has a + offset"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    int pages = 0;
    EXPECT_EQ(everyPage(c.fields, pages), c.uids);
    EXPECT_EQ(pages, c.pages);
  }

  ASSERT_EQ(sharetest::remove("share-3")->statusCode(), 204);
  int pages = 0;
  EXPECT_EQ(everyPage({}, pages), (UIDs{"share-1", "share-2", "share-4", "share-5"}));
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
}

TEST_F(ShareFacadeTest, ARecordOnlyForTheExpectedStatus) {
  // Whether the host got a record; "empty" when it got one with nothing in it.
  const std::function<std::string()> listing = [] {
    const auto model = sharetest::fetch(record(Listing{})).model;
    return !model ? "none" : model->count() || model->shareList() ? "full" : "empty";
  };
  const std::function<std::string()> creation = [] {
    const auto model = sharetest::create(record(Creation{.resources = {{.location = "/a"}}})).model;
    return !model ? "none" : model->UID() ? "full" : "empty";
  };
  const struct {
    const char* method;
    testserver::Answer answer;
    const std::function<std::string()>& run;
    const char* expected;
  } cases[] = {
      {"POST", {.status = 200, .body = R"({"share": {"uid": "x"}})"}, creation, "none"},
      {"POST", {.status = 201, .body = R"({"share": {"uid": "x"}})"}, creation, "full"},
      {"POST", {.status = 201, .body = "{}"}, creation, "empty"},
      {"GET", {.status = 201, .body = R"({"shares": {"count": 0}})"}, listing, "none"},
      {"GET", {.status = 412, .body = R"({"shares": {"count": 0}})"}, listing, "none"},
      {"GET", {.status = 200, .body = R"({"shares": {"count": 0}})"}, listing, "full"},
      {"GET", {.status = 200, .body = "<html>busy</html>"}, listing, "empty"},
      {"GET", {.status = 200, .body = R"({"shares": "x"})"}, listing, "empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + std::to_string(c.answer.status) + " " +
                 c.answer.body);
    server().scriptOnce(c.method, "/cloud/1/shares", c.answer);
    EXPECT_EQ(c.run(), c.expected);
  }

  writeServerSettings("http://127.0.0.1:1");  // nothing listens there
  EXPECT_EQ(listing(), "none");
  const auto deleted = sharetest::remove("share-1");
  EXPECT_TRUE(deleted->error().has_value()) << "a deletion hands on the outcome alone";
}

}  // namespace
