// The search query builders, the search record, and the requests of the server search and the
// fullview calls.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_SearchQueryHelperMethods.h"
#include "tests/Sync/SyncFixture.h"

namespace {

namespace Q = NSString_SearchQueryHelperMethods;
using synctest::Strings;

class SearchQueryTest : public synctest::SyncFixture {};

TEST(SearchQueryBuilders, JoinFromTheLeftWithoutPrecedence) {
  EXPECT_EQ(Q::setValue("image*", "contentType"), "contentType:image*") << "the key comes first";
  const struct {
    const char* word;
    Strings terms;
    const char* expected;
  } cases[] = {
      {"AND", {"a:1", "b:2", "c:3"}, "((a:1) AND (b:2)) AND (c:3)"},
      {"OR", {"a:1", "", "c:3"}, "(a:1) OR (c:3)"},
      {"OR", {"a:1"}, "a:1"},
      {"AND", {"", "b:2"}, "() AND (b:2)"},
      {"AND", {}, "(null)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Q::doOperation(c.word, c.terms), c.expected);
    EXPECT_EQ(std::string(c.word) == "AND" ? Q::doAND(c.terms) : Q::doOR(c.terms), c.expected);
  }

  TQSearchAPIParams params;
  params.setSortKey("size", true);
  params.setSortKey("name", false);
  EXPECT_EQ(params.sort, "name+desc");
  EXPECT_EQ(params.sortDict, (std::map<std::string, bool>{{"name", false}})) << "replaced whole";
}

TEST_F(SearchQueryTest, TheServerSearchSendsItsQueryWhole) {
  const struct {
    const char* reason;
    std::string query;
    std::string sort;
    int32_t page;
    int32_t start;
    int32_t count;
    const char* target;
  } cases[] = {
      {"query only", "name:a b", "", 0, 0, 0, "/cloud/1/search?query=name:a%20b"},
      {"sort unencoded, page and count", "contentType:image*", "name+asc", 2, 0, 10,
       "/cloud/1/search?query=contentType:image*&sort=name+asc&page=2&count=10"},
      {"start is never sent", "name:a", "", 0, 40, 20, "/cloud/1/search?query=name:a&count=20"},
      {"& and + cannot split or blank the query",
       "name:a&b AND timelineDate<2015-01-01 01:00:00 +0100", "", 0, 0, 0,
       "/cloud/1/search?query=name:a%26b%20AND%20timelineDate%3C2015-01-01%2001:00:00%20%2B0100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    auto params = std::make_shared<TQSearchAPIParams>();
    params->accessToken = "token";
    params->query = c.query;
    params->sort = c.sort;
    params->page = c.page;
    params->start = c.start;
    params->count = c.count;
    const auto call = TQAPI::initWithParameters<TQSearchAPI>(params);
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    EXPECT_EQ(call->requestMethod(), "GET");
    EXPECT_FALSE(call->requestBody().has_value());
  }

  // End to end: a host registers and starts the call as the facade does.
  tree().addVirtualFolder("Photos");
  tree().addFile("/Photos/a&b.jpg");
  tree().addFile("/Photos/other.jpg");
  auto params = std::make_shared<TQSearchAPIParams>();
  params->accessToken = "test-access-token";
  params->query = "name:a&b*";
  const auto call = TQAPI::initWithParameters<TQSearchAPI>(params);
  call->prepareQuery();
  testsupport::Latch done;
  std::shared_ptr<TQAPIQueryResponse> response;
  TQAPISDK::sharedInstance()->registerAndStart(
      call, TQCallStart::data(), [&](const std::shared_ptr<TQAPIQueryResponse>& outcome) {
        response = outcome;
        done.countDown();
        return std::function<void()>();
      });
  ASSERT_TRUE(done.wait());
  ASSERT_NE(response->jsonResponse(), nullptr);
  const auto& files = (*response->jsonResponse())["file"];
  ASSERT_EQ(files.size(), 1U);
  EXPECT_EQ(files[0]["name"], "a&b.jpg");
  EXPECT_EQ(server().requests("/cloud/1/search").at(0).header("Authorization"),
            "Bearer test-access-token");
}

TEST_F(SearchQueryTest, AFullviewCallNamesItsFolderAndSendsItsETag) {
  const struct {
    const char* folder;
    const char* eTag;
    const char* target;
    std::optional<std::string> sentETag;
  } cases[] = {
      {"Photos", "", "/cloud/1/fullview?virtualfolder=Photos", std::nullopt},
      {"My Music", "v7", "/cloud/1/fullview?virtualfolder=My%20Music", "v7"},
      {"a&b/c?d#é", "v1", "/cloud/1/fullview?virtualfolder=a%26b/c?d%23é", "v1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    auto params = std::make_shared<TQFullViewAPIParams>();
    params->accessToken = "token";
    params->virtualFolder = c.folder;
    params->eTag = c.eTag;
    const auto call = TQAPI::initWithParameters<TQFullViewAPI>(params);
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    const auto headers = call->requestHeaders();
    const std::string* sent = headers.find("X-Header-ETag");
    EXPECT_EQ(sent ? std::optional<std::string>(*sent) : std::nullopt, c.sentETag);
    EXPECT_EQ(*headers.find("Authorization"), "Bearer token");
    EXPECT_EQ(*headers.find("Accept"), "application/json");
  }
  auto noToken = std::make_shared<TQFullViewAPIParams>();
  EXPECT_THROW(TQAPI::initWithParameters<TQFullViewAPI>(noToken)->prepareQuery(), TQException);
}

}  // namespace
