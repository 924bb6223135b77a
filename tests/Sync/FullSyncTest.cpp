// The full sync end to end: the facade, the fullview calls, the stand-in service's versioned
// folders and the local store.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "tests/Sync/SyncFixture.h"

namespace {

using synctest::PathSet;
using synctest::Strings;
using synctest::SyncFixture;
using testserver::Answer;

class FullSyncTest : public SyncFixture {
 protected:
  void SetUp() override {
    SyncFixture::SetUp();
    tree().addVirtualFolder("Photos");
    tree().addVirtualFolder("My Music");
    tree().addVirtualFolder("Docs");
    tree().addFile("/Photos/a.jpg");
    tree().addFolder("/Photos/2024");
    tree().addFile("/Photos/2024/c.jpg");
    tree().addFolder("/Photos/b");
    tree().addFile("/Photos/b/in.jpg");
    tree().addFile("/Photos/bc.jpg");
    tree().addFile("/My Music/x.mp3");
  }

  std::string eTagOf(const std::string& folder) { return *tree().currentETag(folder); }
};

TEST_F(FullSyncTest, FirstSyncMirrorsEveryVirtualFolder) {
  const auto outcome = sync();
  ASSERT_NE(outcome.response, nullptr);
  EXPECT_EQ(outcome.response->statusCode(), 200);
  EXPECT_TRUE(outcome.onMainQueue);
  EXPECT_EQ(storedPaths(), livePaths());
  // The merge keys a folder by its name as the answer's URL carries it.
  EXPECT_EQ(storedETags(), (std::map<std::string, std::string>{{"Photos", eTagOf("Photos")},
                                                               {"My%20Music", eTagOf("My Music")},
                                                               {"Docs", eTagOf("Docs")}}));
  EXPECT_EQ(query("SELECT count(*) FROM TQETag_resources"),
            Strings{std::to_string(livePaths().size())})
      << "each row belongs to its folder";

  const auto requests = server().requests();
  ASSERT_EQ(requests.size(), 4U);
  EXPECT_EQ(requests[0].target, "/cloud/1/metadata");
  EXPECT_EQ(sentETags(), (std::map<std::string, std::string>{
                             {"/cloud/1/fullview?virtualfolder=Photos", "none"},
                             {"/cloud/1/fullview?virtualfolder=My%20Music", "none"},
                             {"/cloud/1/fullview?virtualfolder=Docs", "none"}}));
  for (const auto& request : server().requests("/cloud/1/fullview")) {
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(request.header("Accept"), "application/json");
  }
}

TEST_F(FullSyncTest, LaterSyncsMergeOnlyWhatChanged) {
  sync();
  const auto sizeOfA = query("SELECT size FROM TQDBResource WHERE fullPath = '/Photos/a.jpg'");
  const std::string photosBefore = eTagOf("Photos");
  const std::string docsBefore = eTagOf("Docs");
  tree().addFile("/Photos/new.jpg");
  tree().update("/Photos/a.jpg", {{"size", 5}, {"systemAttributes", {{"Tags", "beach"}}}});
  tree().rename("/Photos/2024", "2025");  // new uris; the old path reported deleted
  tree().remove("/Photos/b", true);       // "/Photos/bc.jpg" merely begins alike
  server().clearLog();

  const auto outcome = sync();
  ASSERT_NE(outcome.response, nullptr);
  EXPECT_TRUE(TQAPIQueryResponse_Helper::isSuccess(*outcome.response));
  // A folder whose name the URL encodes is looked up by its plain name, finds no ETag, and is
  // fetched whole each time.
  EXPECT_EQ(sentETags(), (std::map<std::string, std::string>{
                             {"/cloud/1/fullview?virtualfolder=Photos", photosBefore},
                             {"/cloud/1/fullview?virtualfolder=My%20Music", "none"},
                             {"/cloud/1/fullview?virtualfolder=Docs", docsBefore}}));
  EXPECT_EQ(storedPaths(), livePaths());
  EXPECT_TRUE(storedPaths().contains("/Photos/bc.jpg"));
  EXPECT_EQ(query("SELECT tags FROM TQDBResource WHERE fullPath = '/Photos/a.jpg'"),
            Strings{"beach"});
  EXPECT_EQ(query("SELECT size FROM TQDBResource WHERE fullPath = '/Photos/a.jpg'"), sizeOfA)
      << "a known row changes its tags only";
  EXPECT_EQ(storedETags().at("Photos"), eTagOf("Photos"));

  // Nothing changed since: the folders with an ETag answer 412 and nothing is written.
  const auto rowsBefore = query("SELECT objectID || fullPath FROM TQDBResource ORDER BY 1");
  server().clearLog();
  const auto unchanged = sync();
  ASSERT_NE(unchanged.response, nullptr);
  EXPECT_TRUE(TQAPIQueryResponse_Helper::isSuccess(*unchanged.response));
  EXPECT_EQ(query("SELECT objectID || fullPath FROM TQDBResource ORDER BY 1"), rowsBefore);
  for (const auto& request : server().requests("/cloud/1/fullview")) {
    EXPECT_EQ(request.header("X-Header-ETag").has_value(), request.target.ends_with("s"))
        << request.target;
  }
}

TEST_F(FullSyncTest, SingleObjectsAndSinglePathsAreListsOfOne) {
  tree().addVirtualFolder("Solo");
  tree().addFolder("/Solo/only");
  tree().addFile("/Solo/one.txt");
  switches().setSingleObjectAnswers(true);
  sync();
  EXPECT_TRUE(storedPaths().contains("/Solo/one.txt"));
  EXPECT_TRUE(storedPaths().contains("/Solo/only"));

  tree().remove("/Solo/one.txt", true);
  sync();
  EXPECT_FALSE(storedPaths().contains("/Solo/one.txt")) << "a single deleted path";
  EXPECT_EQ(storedPaths(), livePaths());
}

TEST_F(FullSyncTest, AFailingFolderKeepsItsRowsWhileTheOthersMerge) {
  tree().addFile("/Docs/d.pdf");
  switches().setFailingFolder("Docs", 503);
  const auto outcome = sync();
  ASSERT_NE(outcome.response, nullptr);
  EXPECT_EQ(outcome.response->statusCode(), 503) << "the combined response is the failure";
  EXPECT_TRUE(storedPaths().contains("/Photos/a.jpg"));
  EXPECT_FALSE(storedPaths().contains("/Docs/d.pdf"));
  EXPECT_FALSE(storedETags().contains("Docs"));
}

TEST_F(FullSyncTest, TheRootListingDecidesWhetherFoldersAreFetched) {
  const struct {
    const char* reason;
    std::optional<Answer> rootAnswer;  // scripted; none: the tree's own listing
    bool emptyTree;
    int expectedStatus;  // -1: no response at all
  } cases[] = {
      {"the root listing fails", Answer{.status = 500, .body = "{}"}, false, 500},
      {"the root listing is cut short",
       Answer{.pieces = {R"({"folder":{"folder":[{"name":"Ph)", "otos\"}]}}"},
              .closeAbruptly = true},
       false, 200},
      {"no virtual folder", std::nullopt, true, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    server().clearLog();
    server().clearScripts();
    if (c.rootAnswer) {
      server().script("GET", "/cloud/1/metadata", *c.rootAnswer);
    }
    if (c.emptyTree) {
      tree().clear();
    }
    const auto outcome = sync();
    EXPECT_TRUE(outcome.onMainQueue);
    if (c.expectedStatus < 0) {
      EXPECT_EQ(outcome.response, nullptr);
    } else {
      ASSERT_NE(outcome.response, nullptr);
      EXPECT_EQ(outcome.response->statusCode(), c.expectedStatus);
      EXPECT_FALSE(TQAPIQueryResponse_Helper::isSuccess(*outcome.response));
    }
    EXPECT_TRUE(server().requests("/cloud/1/fullview").empty());
    EXPECT_TRUE(storedPaths().empty());
  }
}

// A folder answered 200 but not merged fails the sync: the host hears the error, never the plain
// 200, and nothing of the answer is stored.
TEST_F(FullSyncTest, AFolderAnsweredButNotMergedFailsTheSync) {
  using std::string_literals::operator""s;
  const auto store = TQPersistentStore::sharedPersistentStore();
  const struct {
    const char* reason;
    // Scripted for every folder; none: the tree's own answers, while another write holds the
    // store longer than merges wait.
    std::optional<Answer> fullview;
    int64_t code;
  } cases[] = {
      {"an HTML page", Answer{.body = "<html>Service busy</html>"},
       tq::URLError::BadServerResponse},
      {"an object, a NUL and more text", Answer{.body = "{}\0x"s}, tq::URLError::BadServerResponse},
      {"an empty body", Answer{.body = ""}, tq::URLError::BadServerResponse},
      {"the writer held", std::nullopt, tq::URLError::CannotWriteToFile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    server().clearScripts();
    std::shared_ptr<TQManagedObjectContext> holder;
    if (c.fullview) {
      server().script("GET", "/cloud/1/fullview", *c.fullview);
    } else {
      store->setWriteTimeout(std::chrono::milliseconds(50));
      holder = store->backgroundManagedObjectContext();
      ASSERT_TRUE(holder->beginWriting(nullptr));
    }
    const auto outcome = sync();
    if (holder) {
      holder->rollback();
      store->setWriteTimeout(std::chrono::seconds(30));
    }
    ASSERT_NE(outcome.response, nullptr);
    EXPECT_EQ(outcome.response->statusCode(), 200);
    EXPECT_FALSE(TQAPIQueryResponse_Helper::isSuccess(*outcome.response));
    ASSERT_TRUE(outcome.response->error().has_value());
    EXPECT_EQ(outcome.response->error()->code(), c.code);
    EXPECT_FALSE(outcome.response->error()->localizedDescription().empty());
    EXPECT_TRUE(storedPaths().empty());
  }
  server().clearScripts();
  const auto outcome = sync();
  ASSERT_NE(outcome.response, nullptr);
  EXPECT_TRUE(TQAPIQueryResponse_Helper::isSuccess(*outcome.response));
  EXPECT_EQ(storedPaths(), livePaths()) << "the next sync merges every folder";
}

TEST_F(FullSyncTest, ASyncBegunBeforeTheStoreWasEmptiedWritesNothing) {
  testsupport::Latch done;
  std::shared_ptr<TQAPIQueryResponse> response;
  TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
      [&](const std::shared_ptr<TQAPIQueryResponse>& outcome) {
        response = outcome;
        done.countDown();
      });
  // Logout's step on the store, while the sync is under way: its calls stay live, so its merges
  // run, for an epoch that has ended.
  ASSERT_TRUE(TQPersistentStore::sharedPersistentStore()->deleteAllObjects(nullptr));
  ASSERT_TRUE(done.wait());
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->statusCode(), 200);
  ASSERT_TRUE(response->error().has_value()) << "the store was not brought up to date";
  EXPECT_EQ(response->error()->code(), tq::URLError::Cancelled);
  EXPECT_TRUE(storedPaths().empty());
  EXPECT_TRUE(storedETags().empty());

  sync();
  EXPECT_EQ(storedPaths(), livePaths()) << "the next sync writes";
}

}  // namespace
