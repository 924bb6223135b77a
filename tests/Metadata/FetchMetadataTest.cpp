// The metadata listing end to end: the facade, the call and the stand-in service's resource tree.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/Metadata/MetadataRecord.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

using metadatatest::Fields;
using metadatatest::record;
using Names = std::vector<std::string>;

struct Delivery {
  testsupport::Latch done;
  std::shared_ptr<TQMetadata> metadata;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;
};

// Sub-folders as "name/", then files, as the listing gives them.
Names names(const TQMetadata& listing) {
  Names result;
  for (const auto& folder : listing.subFolders()) {
    result.push_back(folder->name().value_or("(null)") + "/");
  }
  for (const auto& file : listing.subFiles()) {
    result.push_back(file->name().value_or("(null)"));
  }
  return result;
}

class FetchMetadataTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    auto& tree = server().state<testserver::ResourceTree>();
    tree.addVirtualFolder("Photos");
    tree.addVirtualFolder("My Music");
    tree.addVirtualFolder("Odd");
    tree.addFolder("/Photos/2024");
    tree.addFile("/Photos/b.jpg", {{"size", 30}});
    tree.addFile("/Photos/a.jpg", {{"size", 10}});
    tree.addFile("/Photos/c.jpg", {{"size", 20}});
    tree.addFile("/Photos/gone.jpg");
    tree.markDeleted("/Photos/gone.jpg");
    // Names that a path cut at "?" or "#" would turn into "/Odd/a" or "/Odd".
    tree.addFolder("/Odd/a");
    tree.addFolder("/Odd/a/sub");
    tree.addFile("/Odd/a/wrong.txt");
    tree.addFolder("/Odd/a?b");
    tree.addFile("/Odd/a?b/right.txt");
    tree.addFolder("/Odd/#");
    tree.addFile("/Odd/#/hash.txt");
    tree.addFolder("/Odd/c#d");
    tree.addFile("/Odd/c#d/cd.txt");
  }

  // Runs `start` with a handler that records the delivery, and waits for it.
  template <class Start>
  static std::shared_ptr<Delivery> deliver(Start start) {
    auto delivery = std::make_shared<Delivery>();
    start([delivery](const std::shared_ptr<TQMetadata>& metadata,
                     const std::shared_ptr<TQAPIQueryResponse>& response) {
      delivery->metadata = metadata;
      delivery->response = response;
      delivery->onMainQueue = tq::mainQueue().isCurrent();
      delivery->liveCalls = TQAPISDK::sharedInstance()->apiArray().count();
      delivery->done.countDown();
    });
    EXPECT_TRUE(delivery->done.wait());
    return delivery;
  }

  static std::shared_ptr<Delivery> fetch(const std::shared_ptr<TQMetaDataAPIParams>& params) {
    return deliver([&](TQMetadataCompletionHandler handler) {
      TQAPISDK::sharedInstance()->fetchMetadata(params, std::move(handler));
    });
  }

  static std::shared_ptr<Delivery> fetchRoot() {
    return deliver([](TQMetadataCompletionHandler handler) {
      TQAPISDK::sharedInstance()->fetchRootMetadata(std::move(handler));
    });
  }
};

TEST_F(FetchMetadataTest, RootListingHasTheVirtualFoldersAsSubFolders) {
  const auto delivery = fetchRoot();
  ASSERT_NE(delivery->metadata, nullptr);
  EXPECT_EQ(names(*delivery->metadata), (Names{"Photos/", "My Music/", "Odd/"}));
  EXPECT_EQ(delivery->response->statusCode(), 200);
  EXPECT_TRUE(delivery->onMainQueue);
  EXPECT_EQ(delivery->liveCalls, 0U) << "the call leaves the list before the host hears of it";

  const auto requests = server().requests();
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].target, "/cloud/1/metadata");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
  EXPECT_EQ(requests[0].header("Accept"), "application/json");
}

TEST_F(FetchMetadataTest, FolderListings) {
  const struct {
    Fields fields;
    Names names;
    const char* why;
  } cases[] = {
      {{.path = "/Photos"}, {"2024/", "b.jpg", "a.jpg", "c.jpg"}, "deleted items left out"},
      {{.path = "/Photos", .page = 2, .count = 2}, {"a.jpg", "c.jpg"}, "the second page of two"},
      {{.path = "/Photos", .start = 1, .count = 2}, {"b.jpg", "a.jpg"}, "from an index"},
      {{.path = "/Photos", .filter = "folder"}, {"2024/"}, "folders only"},
      {{.path = "/Photos", .sort = "size+desc", .filter = "file"},
       {"b.jpg", "c.jpg", "a.jpg"},
       "files by size, largest first"},
      {{.path = "/Photos", .includeDeleted = true, .filter = "file"},
       {"b.jpg", "a.jpg", "c.jpg", "gone.jpg"},
       "deleted items on request"},
      {{.path = "/My Music"}, {}, "a blank in the name; an empty folder"},
      {{.path = "/Odd/a?b"}, {"right.txt"}, "a ? in the name"},
      {{.path = "/Odd/#"}, {"hash.txt"}, "a name that is #"},
      {{.path = "/Odd/c#d"}, {"cd.txt"}, "a # in the name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto params = record(c.fields);
    const auto delivery = fetch(params);
    EXPECT_EQ(params->accessToken, "test-access-token") << "the host's record gets the token";
    ASSERT_NE(delivery->metadata, nullptr);
    EXPECT_EQ(delivery->metadata->fullPath(), c.fields.path) << "the listing describes itself";
    EXPECT_EQ(names(*delivery->metadata), c.names);
  }
}

TEST_F(FetchMetadataTest, ASingleObjectWhereAListIsExpectedIsAListOfOne) {
  server().state<testserver::ResourceTree>().setSingleObjectAnswers(true);
  const auto delivery = fetch(record({.path = "/Odd/a"}));
  ASSERT_NE(delivery->metadata, nullptr);
  ASSERT_TRUE(delivery->response->jsonResponse());
  EXPECT_TRUE((*delivery->response->jsonResponse())["folder"]["file"].is_object());
  EXPECT_EQ(names(*delivery->metadata), (Names{"sub/", "wrong.txt"}));
}

TEST_F(FetchMetadataTest, AnyOutcomeButTwoHundredGivesNoListing) {
  const std::string listing = R"({"folder": {"name": "Photos", "file": [{"name": "x"}]}})";
  for (const int status : {201, 412, 500}) {
    SCOPED_TRACE(status);
    server().scriptOnce("GET", "/cloud/1/metadata/Photos", {.status = status, .body = listing});
    const auto delivery = fetch(record({.path = "/Photos"}));
    EXPECT_EQ(delivery->metadata, nullptr);
    EXPECT_EQ(delivery->response->statusCode(), status);
  }

  const auto missing = fetch(record({.path = "/Nowhere"}));
  EXPECT_EQ(missing->metadata, nullptr);
  EXPECT_EQ(missing->response->statusCode(), 404);
  EXPECT_TRUE(missing->response->jsonResponse()) << "the host can still read the answer";

  writeServerSettings("http://127.0.0.1:1");  // nothing listens there
  const auto unreachable = fetch(record({.path = "/Photos"}));
  EXPECT_EQ(unreachable->metadata, nullptr);
  EXPECT_EQ(unreachable->response->statusCode(), 0);
  EXPECT_TRUE(unreachable->response->error().has_value());
}

TEST_F(FetchMetadataTest, UnexpectedAnswerShapesNeverCrash) {
  const struct {
    const char* body;
    bool listing;
    Names names;
    const char* why;
  } cases[] = {
      {"<html>busy</html>", false, {}, "not JSON"},
      {"", false, {}, "no body"},
      {"[1, 2]", true, {}, "an array: no folder member"},
      {"{}", true, {}, "no folder member"},
      {R"({"folder": null})", true, {}, "null folder"},
      {R"({"folder": "x"})", true, {}, "folder is text"},
      {R"({"folder": [{"name": "a", "file": {"name": "f"}}]})", true, {}, "folder is a list"},
      {R"({"folder": {"name": 5, "folder": "x", "file": 3}})", true, {}, "members of wrong types"},
      {R"({"folder": {"folder": [1, "x", null, [], {"name": "ok"}], "file": {"name": "f"}}})",
       true,
       {"ok/", "f"},
       "elements that are not objects are skipped"},
      {R"({"folder": {"folder": {"name": "one"}, "file": [{"name": "f1"}, {"name": "f2"}]}})",
       true,
       {"one/", "f1", "f2"},
       "a single sub-folder object"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/metadata", {.body = c.body});
    const auto delivery = fetchRoot();
    ASSERT_EQ(delivery->metadata != nullptr, c.listing);
    EXPECT_EQ(delivery->response->statusCode(), 200);
    if (delivery->metadata) {
      EXPECT_EQ(names(*delivery->metadata), c.names);
    }
  }
}

TEST_F(FetchMetadataTest, ABadRecordRaisesWithNothingSentOrRegistered) {
  const struct {
    std::shared_ptr<TQMetaDataAPIParams> params;
    std::string reason;
  } cases[] = {
      {nullptr, "All required parameters missing."},
      {record({.filter = "Folder"}), "filter <REQUIRED PARAMETER> is missing."},
      {record({.start = 2}), "Positive count required <REQUIRED PARAMETER> is missing."},
  };
  std::atomic<bool> handlerRan = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      TQAPISDK::sharedInstance()->fetchMetadata(
          c.params, [&](const auto&, const auto&) { handlerRan = true; });
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), c.reason);
    }
    EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  }
  drainMainQueue();
  EXPECT_FALSE(handlerRan);
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
