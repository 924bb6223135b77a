// The trash listing and emptying end to end: the root listing, one call per virtual folder run as
// a batch, and the stand-in service's trash per virtual folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

using Names = std::vector<std::string>;

struct Fields {
  std::string filter;
  std::string deep;
  std::string sort;
  int32_t page = 0;
  int32_t start = 0;
  int32_t count = 0;
};

std::shared_ptr<TQGetTrashAPIParams> record(const Fields& fields) {
  auto params = std::make_shared<TQGetTrashAPIParams>();
  params->filter = fields.filter;
  params->deep = fields.deep;
  params->sort = fields.sort;
  params->page = fields.page;
  params->start = fields.start;
  params->count = fields.count;
  return params;
}

struct Listing {
  testsupport::Latch done;
  std::optional<Names> names;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;
};

class TrashTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    // 25 trashed items over three virtual folders; names sort case-insensitively as "item01" to
    // "item25", whatever their capitals.
    tree().addVirtualFolder("Photos");
    tree().addVirtualFolder("My Music");
    tree().addVirtualFolder("Docs");
    const char* const folders[] = {"/Photos", "/My Music", "/Docs"};
    for (int i = 1; i <= 25; ++i) {
      const std::string name =
          (i % 4 == 0 ? "ITEM" : "item") + std::string(i < 10 ? "0" : "") + std::to_string(i);
      const std::string path = std::string(folders[i % 3]) + "/" + name;
      if (i % 5 == 0) {
        tree().addFolder(path);
        tree().addFile(path + "/inside.txt");  // trashed with its folder, listed only deep
      } else {
        tree().addFile(path);
      }
      tree().remove(path, false);
    }
    tree().addFile("/Docs/alive.txt");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }

  static std::shared_ptr<Listing> fetch(const std::shared_ptr<TQGetTrashAPIParams>& params) {
    auto listing = std::make_shared<Listing>();
    TQAPISDK::sharedInstance()->fetchTrash(
        params, [listing](const auto& items, const std::shared_ptr<TQAPIQueryResponse>& response) {
          if (items) {
            listing->names.emplace();
            for (const auto& item : *items) {
              listing->names->push_back(item->name().value_or("(null)"));
            }
          }
          listing->response = response;
          listing->onMainQueue = tq::mainQueue().isCurrent();
          listing->liveCalls = TQAPISDK::sharedInstance()->apiArray().count();
          listing->done.countDown();
        });
    EXPECT_TRUE(listing->done.wait());
    return listing;
  }

  static std::shared_ptr<TQAPIQueryResponse> emptyTrash() {
    testsupport::Latch done;
    std::shared_ptr<TQAPIQueryResponse> response;
    TQAPISDK::sharedInstance()->deleteTrashWithCompletionHandler([&](const auto& outcome) {
      response = outcome;
      done.countDown();
    });
    EXPECT_TRUE(done.wait());
    return response;
  }

  // Names "item01" to "item<last>" as the listing gives them, ignoring capitals.
  static Names sortedNames(int first, int last) {
    Names names;
    for (int i = first; i <= last; ++i) {
      names.push_back((i % 4 == 0 ? "ITEM" : "item") + std::string(i < 10 ? "0" : "") +
                      std::to_string(i));
    }
    return names;
  }

  std::vector<std::string> trashTargets() {
    std::vector<std::string> targets;
    for (const auto& request : server().requests("/cloud/1/trash")) {
      targets.push_back(request.method + " " + request.target);
    }
    std::sort(targets.begin(), targets.end());
    return targets;
  }
};

TEST_F(TrashTest, UnpagedListingMergesEachFolderFilesFirstInFinishingOrder) {
  const auto listing = fetch(record({}));
  ASSERT_TRUE(listing->names);
  EXPECT_EQ(listing->response->statusCode(), 200);
  EXPECT_TRUE(listing->onMainQueue);
  EXPECT_EQ(listing->liveCalls, 0U);
  EXPECT_EQ(trashTargets(), (Names{"GET /cloud/1/trash?virtualfolder=Docs",
                                   "GET /cloud/1/trash?virtualfolder=My%20Music",
                                   "GET /cloud/1/trash?virtualfolder=Photos"}));

  // Each folder's items come together, its files (the names not divisible by 5) first.
  const auto& names = *listing->names;
  ASSERT_EQ(names.size(), 25U);
  auto folderOf = [](const std::string& name) { return std::stoi(name.substr(4)) % 3; };
  auto isFolder = [](const std::string& name) { return std::stoi(name.substr(4)) % 5 == 0; };
  for (size_t i = 1; i < names.size(); ++i) {
    if (folderOf(names[i]) == folderOf(names[i - 1])) {
      EXPECT_FALSE(isFolder(names[i - 1]) && !isFolder(names[i])) << names[i - 1] << names[i];
    } else {
      EXPECT_EQ(std::count_if(names.begin() + static_cast<ptrdiff_t>(i), names.end(),
                              [&](const auto& n) { return folderOf(n) == folderOf(names[i - 1]); }),
                0)
          << "folder " << folderOf(names[i - 1]) << " split";
    }
  }
  Names sorted = names;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.substr(4) < b.substr(4); });
  EXPECT_EQ(sorted, sortedNames(1, 25));
}

TEST_F(TrashTest, PagingSortsByNameIgnoringCase) {
  const struct {
    Fields fields;
    std::optional<Names> names;
    const char* why;
  } cases[] = {
      {{.page = 2, .count = 10}, sortedNames(11, 20), "the second page"},
      {{.start = 3, .count = 10}, sortedNames(21, 25), "start as the page number"},
      {{.page = 1, .count = 25}, sortedNames(1, 25), "one page of everything, sorted"},
      {{.page = 4, .count = 10}, std::nullopt, "past the last page: nil with success"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto listing = fetch(record(c.fields));
    EXPECT_EQ(listing->names, c.names);
    EXPECT_EQ(listing->response->statusCode(), 200);
  }
}

TEST_F(TrashTest, QueryCarriesTheRecordsOptionalMembers) {
  const struct {
    Fields fields;
    std::string query;
    size_t items;
    const char* why;
  } cases[] = {
      {{.filter = "folder"}, "&filter=folder", 5, "folders only"},
      {{.filter = "file", .deep = "true"}, "&filter=file&deep=true", 25, "files inside folders"},
      {{.sort = "name+desc"}, "&sort=name+desc", 25, "sort as written"},
      {{.sort = "name&filter=folder"}, "&sort=name%26filter=folder", 25, "sort adds no pair"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    const auto listing = fetch(record(c.fields));
    ASSERT_TRUE(listing->names);
    EXPECT_EQ(listing->names->size(), c.items);
    EXPECT_EQ(trashTargets()[0], "GET /cloud/1/trash?virtualfolder=Docs" + c.query);
  }
}

TEST_F(TrashTest, ABadRecordRaisesFromTheCallWithNothingSent) {
  const struct {
    std::shared_ptr<TQGetTrashAPIParams> params;
    std::string reason;
  } cases[] = {
      {nullptr, "All required parameters missing."},
      {record({.filter = "File"}), "filter"},
      {record({.deep = "TRUE"}), "deep"},
      {record({.page = 2}), "Positive count required"},
      {record({.page = -1}), "Negative page"},
      {record({.count = -1}), "Negative count"},
  };
  std::atomic<bool> handlerRan = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      TQAPISDK::sharedInstance()->fetchTrash(c.params,
                                             [&](const auto&, const auto&) { handlerRan = true; });
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason().rfind(c.reason, 0), 0U) << e.reason();
    }
  }
  drainMainQueue();
  EXPECT_FALSE(handlerRan);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(TrashTest, AVirtualFolderWithoutANameEndsBothFanOutsWithNothingSent) {
  const std::string root = R"({"folder": {"folder": [{"name": "Photos"}, {"name": ""}]}})";
  server().script("GET", "/cloud/1/metadata", {.body = root});
  const auto listing = fetch(record({}));
  EXPECT_FALSE(listing->names);
  EXPECT_EQ(listing->response->statusCode(), 200) << "the root listing's response";
  EXPECT_EQ(emptyTrash()->statusCode(), 200);
  EXPECT_TRUE(trashTargets().empty());
  EXPECT_EQ(tree().trash("Photos", false).size(), 8U);
}

TEST_F(TrashTest, AnswerShapes) {
  const struct {
    const char* body;
    Names names;
    const char* why;
  } cases[] = {
      {R"({"trashCan": {"file": {"name": "f"}, "folder": {"name": "d"}}})", {"f", "d"}, "one each"},
      {R"({"trashCan": [{"file": [{"name": "a"}]}, {"folder": [{"name": "b"}]}]})",
       {"a", "b"},
       "a list of trash cans"},
      {R"({"trashCan": {"folder": [{"name": "d1"}, {"name": "d2"}]}})", {"d1", "d2"}, "no files"},
      {R"({"trashCan": {"file": ["x", 1, null, {"name": "ok"}], "folder": "d"}})",
       {"ok"},
       "elements that are not objects"},
      {R"({"other": 1})", {}, "no trash can"},
      {"<html/>", {}, "not JSON"},
  };
  tree().clear();
  tree().addVirtualFolder("Only");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/trash", {.body = c.body});
    const auto listing = fetch(record({}));
    EXPECT_EQ(listing->names, c.names);
  }
}

TEST_F(TrashTest, FailuresEndWithNilItemsAndTheResponseThatDecided) {
  server().scriptOnce("GET", "/cloud/1/trash", {.status = 500, .body = "{}"});
  const auto failedFolder = fetch(record({}));
  EXPECT_FALSE(failedFolder->names);
  EXPECT_EQ(failedFolder->response->statusCode(), 500);
  EXPECT_EQ(trashTargets().size(), 3U) << "the other folders were still listed";

  server().clearLog();
  server().scriptOnce("GET", "/cloud/1/metadata", {.status = 503, .body = "{}"});
  const auto failedRoot = fetch(record({}));
  EXPECT_FALSE(failedRoot->names);
  EXPECT_EQ(failedRoot->response->statusCode(), 503);
  server().scriptOnce("GET", "/cloud/1/metadata", {.status = 503, .body = "{}"});
  EXPECT_EQ(emptyTrash()->statusCode(), 503);
  EXPECT_TRUE(trashTargets().empty());

  tree().clear();
  tree().addVirtualFolder("Gone");
  tree().removeVirtualFolder("Gone", false);  // the root stays, with no virtual folder
  const auto noFolders = fetch(record({}));
  EXPECT_FALSE(noFolders->names);
  EXPECT_EQ(noFolders->response, nullptr);
  EXPECT_EQ(emptyTrash(), nullptr);
}

TEST_F(TrashTest, EmptyingPurgesEveryVirtualFoldersTrash) {
  const auto response = emptyTrash();
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response->statusCode(), 200);
  EXPECT_EQ(trashTargets(), (Names{"DELETE /cloud/1/trash?virtualfolder=Docs",
                                   "DELETE /cloud/1/trash?virtualfolder=My%20Music",
                                   "DELETE /cloud/1/trash?virtualfolder=Photos"}));
  for (const char* folder : {"Photos", "My Music", "Docs"}) {
    EXPECT_TRUE(tree().trash(folder, true).empty()) << folder;
  }
  EXPECT_TRUE(tree().resourceObject("/Docs/alive.txt")) << "live items stay";
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
}

}  // namespace
