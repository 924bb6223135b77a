// The share operations end to end: the facade, the calls and the stand-in service's shares.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Platform/DateText.h"
#include "tests/Shares/ShareCalls.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ShareState.h"

namespace {

using sharetest::Creation;
using sharetest::Listing;
using sharetest::record;
using UIDs = std::vector<std::string>;

UIDs uids(const TQShare& listing) {
  UIDs result;
  for (const auto& share :
       listing.shareList().value_or(std::vector<std::shared_ptr<TQShareItem>>{})) {
    result.push_back(share->UID().value_or("nil"));
  }
  return result;
}

// The cursor of the listing's "next" link, decoded as the host reads it from the link.
std::optional<std::string> nextCursor(const TQShare& listing) {
  for (const auto& link : listing.links().value_or(std::vector<std::shared_ptr<TQLink>>{})) {
    if (link->rel() == "next" && link->link()) {
      const auto url = tq::URL::URLWithString(*link->link());
      const auto cursor = url ? NSURL_Helper::valueForParameter(*url, "cursor") : std::nullopt;
      return cursor ? std::optional(NSURL_Helper::percentDecoded(*cursor)) : std::nullopt;
    }
  }
  return std::nullopt;
}

class ShareFacadeTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  // Creates shares "Share 1" to "Share n", made a minute apart from 10:00Z.
  static void createShares(int n) {
    for (int i = 1; i <= n; ++i) {
      const auto made = sharetest::create(
          record(Creation{.name = "Share " + std::to_string(i),
                          .resources = {{.location = "/P/" + std::to_string(i)}}}));
      ASSERT_NE(made.model, nullptr);
    }
  }

  // Every page of the listing `fields` asks for, following the next links' cursors.
  static UIDs everyPage(Listing fields, int& pages) {
    UIDs all;
    pages = 0;
    while (true) {
      const auto page = sharetest::fetch(record(fields));
      if (page.model == nullptr || ++pages > 20) {
        ADD_FAILURE() << "page " << pages << " answered " << page.status();
        return all;
      }
      const UIDs these = uids(*page.model);
      all.insert(all.end(), these.begin(), these.end());
      const auto cursor = nextCursor(*page.model);
      if (!cursor) {
        return all;
      }
      fields.cursor = *cursor;
    }
  }
};

TEST_F(ShareFacadeTest, ACreatedShareComesBackAsTheServiceMadeIt) {
  const auto made =
      sharetest::create(record(Creation{.name = "Trip",
                                        .resources = {{.name = "a.jpg",
                                                       .type = "file",
                                                       .subType = "image",
                                                       .location = "/P/a.jpg",
                                                       .size = 12},
                                                      {.location = "/P/b.jpg"}},
                                        .expiresIn = TQNumber::integer(3'000'000'000)}));
  EXPECT_TRUE(made.onMainQueue);
  EXPECT_EQ(made.status(), 201);
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  ASSERT_NE(made.model, nullptr);
  const TQShareItem& share = *made.model;
  EXPECT_EQ(share.UID(), "share-1");
  EXPECT_EQ(share.name(), "Trip");
  EXPECT_EQ(share.expiresIn()->int64Value(), 3'000'000'000);
  EXPECT_EQ(tq::utcMillisecondsText(share.creationDate().value()), "2024-05-01T10:00:00.000Z");
  EXPECT_EQ(tq::utcMillisecondsText(share.expirationDate().value()), "2119-05-26T15:20:00.000Z");
  EXPECT_EQ(share.owner()->UID(), "user-1");
  EXPECT_EQ(share.link()->rel(), "self");
  ASSERT_TRUE(share.resources().has_value());
  ASSERT_EQ(share.resources()->size(), 2U);
  EXPECT_EQ(share.resources()->at(0)->size()->int64Value(), 12);
  EXPECT_EQ(share.resources()->at(1)->uid(), "share-1-r2");
  EXPECT_FALSE(share.resources()->at(1)->size().has_value()) << "a size of 0 was not sent";
}

TEST_F(ShareFacadeTest, PagingFollowsTheNextLinksCursors) {
  createShares(5);
  const struct {
    Listing fields;
    UIDs uids;
    int pages;
    const char* why;
  } cases[] = {
      {{}, {"share-1", "share-2", "share-3", "share-4", "share-5"}, 1, "one page"},
      {{.count = 2},
       {"share-1", "share-2", "share-3", "share-4", "share-5"},
       3,
       "Base64 cursors with + / = reach the server whole"},
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

  ASSERT_EQ(sharetest::remove(sharetest::deletion("share-3"))->statusCode(), 204);
  int pages = 0;
  EXPECT_EQ(everyPage({}, pages), (UIDs{"share-1", "share-2", "share-4", "share-5"}));
}

TEST_F(ShareFacadeTest, ASingleObjectWhereAListIsExpectedIsAListOfOne) {
  createShares(2);
  server().state<testserver::ShareState>().setSingleObjectAnswers(true);
  const auto page = sharetest::fetch(record(Listing{.count = 1}));
  ASSERT_NE(page.model, nullptr);
  const auto& answer = (*page.response->jsonResponse())["shares"];
  ASSERT_TRUE(answer["share"].is_object());
  ASSERT_TRUE(answer["links"].is_object());
  EXPECT_EQ(uids(*page.model), (UIDs{"share-1"}));
  EXPECT_TRUE(nextCursor(*page.model).has_value());
  EXPECT_EQ(page.model->count()->int64Value(), 2);
}

TEST_F(ShareFacadeTest, ARecordOnlyForTheExpectedStatus) {
  const auto fetch = [] { return sharetest::fetch(record(Listing{})); };
  const auto create = [] {
    return sharetest::create(record(Creation{.resources = {{.location = "/a"}}}));
  };
  const std::function<bool()> listed = [&] { return fetch().model != nullptr; };
  const std::function<bool()> created = [&] { return create().model != nullptr; };
  const std::function<bool()> emptyListing = [&] {
    const auto model = fetch().model;
    return model && !model->count() && !model->links() && !model->shareList();
  };
  const std::function<bool()> emptyShare = [&] {
    const auto model = create().model;
    return model && !model->UID() && !model->resources() && model->owner() && model->link();
  };
  const struct {
    const char* method;
    testserver::Answer answer;
    std::function<bool()> check;
    bool expected;
    const char* why;
  } cases[] = {
      {"POST",
       {.status = 200, .body = R"({"share": {"uid": "x"}})"},
       created,
       false,
       "a creation answered 200"},
      {"GET",
       {.status = 201, .body = R"({"shares": {"count": 0}})"},
       listed,
       false,
       "a listing answered 201"},
      {"GET", {.status = 412, .body = R"({"shares": {"count": 0}})"}, listed, false, "412"},
      {"GET",
       {.status = 200, .body = "<html>busy</html>"},
       emptyListing,
       true,
       "200 that is not JSON: a listing with nothing in it"},
      {"GET",
       {.status = 200, .body = R"({"shares": "x"})"},
       emptyListing,
       true,
       "200 whose shares are no object"},
      {"POST", {.status = 201, .body = "{}"}, emptyShare, true, "201 without a share"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce(c.method, "/cloud/1/shares", c.answer);
    EXPECT_EQ(c.check(), c.expected);
  }

  writeServerSettings("http://127.0.0.1:1");  // nothing listens there
  const auto unreachable = fetch();
  EXPECT_EQ(unreachable.model, nullptr);
  EXPECT_TRUE(unreachable.response->error().has_value());
  const auto deleted = sharetest::remove(sharetest::deletion("share-1"));
  EXPECT_EQ(deleted->statusCode(), 0);
  EXPECT_TRUE(deleted->error().has_value()) << "a deletion hands on the outcome alone";
}

}  // namespace
