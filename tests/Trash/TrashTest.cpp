// Virtual folders and the trash end to end: the facade, the calls, the fan-outs over the virtual
// folders and the stand-in service's resource tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQRenameVFolderAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

using Names = std::vector<std::string>;

struct Fields {
  std::string filter, deep, sort;
  int32_t page = 0, start = 0, count = 0;
};

std::shared_ptr<TQGetTrashAPIParams> trashRecord(const Fields& f) {
  auto params = std::make_shared<TQGetTrashAPIParams>();
  params->filter = f.filter;
  params->deep = f.deep;
  params->sort = f.sort;
  params->page = f.page;
  params->start = f.start;
  params->count = f.count;
  return params;
}

std::shared_ptr<TQCreateVFolderAPIParams> createRecord(const std::string& name) {
  auto params = std::make_shared<TQCreateVFolderAPIParams>();
  params->folderName = name;
  return params;
}

std::shared_ptr<TQRenameVFolderAPIParams> renameRecord(const std::string& src,
                                                       const std::string& target) {
  auto params = std::make_shared<TQRenameVFolderAPIParams>();
  params->src = src;
  params->target = target;
  return params;
}

std::shared_ptr<TQDeleteVFolderAPIParams> deleteRecord(const std::string& name) {
  auto params = std::make_shared<TQDeleteVFolderAPIParams>();
  params->folderName = name;
  return params;
}

// What one handler received.
struct Received {
  std::shared_ptr<TQResource> folder;
  std::optional<Names> names;  // of the trash listing
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
};

void take(Received& r, const std::shared_ptr<TQResource>& folder) { r.folder = folder; }
void take(Received& r, const std::optional<std::vector<std::shared_ptr<TQMetadata>>>& items) {
  if (items) {
    r.names.emplace();
    for (const auto& item : *items) {
      r.names->push_back(item->name().value_or("(null)"));
    }
  }
}

// Starts an operation with a handler that records what it receives, and waits for it.
template <class Start>
Received await(Start start) {
  Received received;
  testsupport::Latch done;
  start([&](const auto&... outcome) {
    const auto all = std::tie(outcome...);
    if constexpr (sizeof...(outcome) == 2) {
      take(received, std::get<0>(all));
    }
    received.response = std::get<sizeof...(outcome) - 1>(all);
    received.onMainQueue = tq::mainQueue().isCurrent();
    done.countDown();
  });
  EXPECT_TRUE(done.wait());
  return received;
}

// "item01" to "item25"; every fourth in capitals, so only a case-insensitive sort orders them.
std::string itemName(int i) {
  return (i % 4 == 0 ? "ITEM" : "item") + std::to_string(100 + i).substr(1);
}

Names itemNames(int first, int last) {
  Names names;
  for (int i = first; i <= last; ++i) {
    names.push_back(itemName(i));
  }
  return names;
}

class TrashTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    // 25 trashed items over three virtual folders: item i in folder i % 3, every fifth a folder
    // holding a file (trashed with it, listed only deep).
    const char* const folders[] = {"/Photos", "/My Music", "/Docs"};
    for (const char* folder : folders) {
      tree().addVirtualFolder(folder + 1);
    }
    for (int i = 1; i <= 25; ++i) {
      const std::string path = std::string(folders[i % 3]) + "/" + itemName(i);
      if (i % 5 == 0) {
        tree().addFolder(path);
        tree().addFile(path + "/inside.txt");
      } else {
        tree().addFile(path);
      }
      tree().remove(path, false);
    }
    tree().addFile("/Docs/alive.txt");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }
  static std::shared_ptr<TQAPISDK> sdk() { return TQAPISDK::sharedInstance(); }

  static Received fetch(const Fields& fields) {
    return await([&](const TQTrashCompletionHandler& h) {
      const auto record = trashRecord(fields);
      sdk()->fetchTrash(record, h);
      record->page = 9;  // the host reuses its record at once: the listing under way keeps its own
      record->filter = "folder";
    });
  }
  static Received emptyTrash() {
    return await([](const TQAPIResponseHandler& h) { sdk()->deleteTrashWithCompletionHandler(h); });
  }

  // "METHOD target" of each request to `path`, sorted.
  Names sent(const std::string& path = "/cloud/1/trash") {
    Names targets;
    for (const auto& request : server().requests(path)) {
      targets.push_back(request.method + " " + request.target);
    }
    std::sort(targets.begin(), targets.end());
    return targets;
  }

  bool hasVirtualFolder(const std::string& name) {
    const auto names = tree().virtualFolderNames();
    return std::find(names.begin(), names.end(), name) != names.end();
  }
};

TEST_F(TrashTest, CreateVirtualFolder) {
  const struct {
    std::string name, target;
    testserver::Answer scripted;  // status 0: the tree answers
    int status;
    bool model;
    const char* why;
  } cases[] = {
      {"Holiday 2024", "/cloud/1/virtualfolder/Holiday%202024", {.status = 0}, 201, true, "blank"},
      {"a?b", "/cloud/1/virtualfolder/a%3Fb", {.status = 0}, 201, true, "a ? stays in the name"},
      {"..", "/cloud/1/virtualfolder/%2E%2E", {.status = 0}, 400, false, "no dot segment leaves"},
      {"Photos", "/cloud/1/virtualfolder/Photos", {.status = 0}, 409, false, "the name is taken"},
      {"x", "/cloud/1/virtualfolder/x", {.body = R"({"folder": {}})"}, 200, false, "wants 201"},
      {"y", "/cloud/1/virtualfolder/y", {.status = 201, .body = "{}"}, 201, true, "no member"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    if (c.scripted.status != 0) {
      server().scriptOnce("POST", "/cloud/1/virtualfolder/" + c.name, c.scripted);
    }
    const auto got = await([&](const TQVirtualFolderCompletionHandler& h) {
      sdk()->createVirtualFolder(createRecord(c.name), h);
    });
    const auto request = server().requests().at(0);
    EXPECT_EQ(request.method + " " + request.target, "POST " + c.target);
    EXPECT_EQ(request.bodyLength, 0);
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(got.response->statusCode(), c.status);
    EXPECT_TRUE(got.onMainQueue);
    ASSERT_EQ(got.folder != nullptr, c.model);
    if (c.model) {
      EXPECT_EQ(got.folder->uri().has_value(), c.scripted.status == 0) << "empty without member";
    }
    EXPECT_EQ(hasVirtualFolder(c.name), c.scripted.status == 0 && c.name != "..");
  }
}

TEST_F(TrashTest, RenameAndDeleteVirtualFolders) {
  const auto renamed = await([](const TQVirtualFolderCompletionHandler& h) {
    sdk()->renameVirtualFolder(renameRecord("Photos", "Pictures"), h);
  });
  const auto request = server().requests().at(0);
  EXPECT_EQ(request.method + " " + request.target, "PUT /cloud/1/virtualfolder");
  EXPECT_EQ(request.body, R"({"src":"Photos","target":"Pictures"})");
  EXPECT_EQ(request.header("Content-Type"), "application/json");
  ASSERT_NE(renamed.folder, nullptr);
  EXPECT_EQ(renamed.folder->name(), "Pictures");
  EXPECT_TRUE(hasVirtualFolder("Pictures") && !hasVirtualFolder("Photos"));
  server().scriptOnce("PUT", "/cloud/1/virtualfolder", {.status = 201, .body = "{}"});
  EXPECT_EQ(await([](const TQVirtualFolderCompletionHandler& h) {
              sdk()->renameVirtualFolder(renameRecord("a", "b"), h);
            }).folder,
            nullptr)
      << "rename wants 200";

  // Every status reaches the host; "force" goes as a number, "0" unless set.
  const struct {
    std::optional<bool> force;
    int status;
    bool remains;
  } deletes[] = {{std::nullopt, 409, true}, {true, 200, false}, {false, 404, false}};
  for (const auto& d : deletes) {
    server().clearLog();
    auto record = deleteRecord("My Music");
    record->force = d.force.value_or(record->force);
    const auto got =
        await([&](const TQAPIResponseHandler& h) { sdk()->deleteVirtualFolder(record, h); });
    EXPECT_EQ(sent("/cloud/1/virtualfolder"),
              Names{"DELETE /cloud/1/virtualfolder?name=My%20Music&force=" +
                    std::string(d.force.value_or(false) ? "1" : "0")});
    EXPECT_EQ(got.response->statusCode(), d.status);
    EXPECT_EQ(hasVirtualFolder("My Music"), d.remains);
  }
}

TEST_F(TrashTest, ABadRecordRaisesFromTheCallWithNothingSent) {
  const auto ignore = [](const auto&...) {};
  const struct {
    std::function<void()> call;
    std::string reason;
  } cases[] = {
      {[&] { sdk()->fetchTrash(nullptr, ignore); }, "All required parameters missing."},
      {[&] { sdk()->fetchTrash(trashRecord({.filter = "File"}), ignore); }, "filter"},
      {[&] { sdk()->fetchTrash(trashRecord({.deep = "TRUE"}), ignore); }, "deep"},
      {[&] { sdk()->fetchTrash(trashRecord({.page = 2}), ignore); }, "Positive count required"},
      {[&] { sdk()->fetchTrash(trashRecord({.page = -1}), ignore); }, "Negative page"},
      {[&] { sdk()->fetchTrash(trashRecord({.count = -1}), ignore); }, "Negative count"},
      {[&] { sdk()->createVirtualFolder(createRecord(""), ignore); }, "folderName"},
      {[&] { sdk()->renameVirtualFolder(renameRecord("", ""), ignore); }, "src"},
      {[&] { sdk()->renameVirtualFolder(renameRecord("a", ""), ignore); }, "target"},
      {[&] { sdk()->deleteVirtualFolder(deleteRecord(""), ignore); }, "folderName"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      c.call();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason().rfind(c.reason, 0), 0U) << e.reason();
    }
  }
  drainMainQueue();
  EXPECT_EQ(sdk()->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(TrashTest, UnpagedListingMergesEachFolderFilesFirst) {
  const auto got = fetch({});
  EXPECT_EQ(got.response->statusCode(), 200);
  EXPECT_TRUE(got.onMainQueue);
  EXPECT_EQ(sdk()->apiArray().count(), 0U);
  EXPECT_EQ(sent(), (Names{"GET /cloud/1/trash?virtualfolder=Docs",
                           "GET /cloud/1/trash?virtualfolder=My%20Music",
                           "GET /cloud/1/trash?virtualfolder=Photos"}));
  ASSERT_TRUE(got.names);
  // Runs of one folder's files, then its folders (every fifth item), one folder after another.
  std::vector<int> runs;
  for (const auto& name : *got.names) {
    const int number = std::stoi(name.substr(4));
    if (const int run = number % 3 * 2 + (number % 5 == 0 ? 1 : 0);
        runs.empty() || runs.back() != run) {
      runs.push_back(run);
    }
  }
  ASSERT_EQ(runs.size(), 6U);
  for (size_t i = 0; i < runs.size(); i += 2) {
    EXPECT_EQ(runs[i] + 1, runs[i + 1]);
  }
  Names sorted = *got.names;
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& x, const auto& y) { return x.substr(4) < y.substr(4); });
  EXPECT_EQ(sorted, itemNames(1, 25));
}

TEST_F(TrashTest, ListingShapes) {
  const struct {
    Fields fields;
    std::optional<Names> names;
    std::string query;  // what the first folder's call adds to its query
    const char* why;
  } cases[] = {
      {{.page = 2, .count = 10}, itemNames(11, 20), "", "a page, sorted ignoring case"},
      {{.start = 3, .count = 10}, itemNames(21, 25), "", "start as the page number"},
      {{.page = 4, .count = 10}, std::nullopt, "", "past the last page: nil with success"},
      {{.filter = "folder", .page = 1, .count = 9},
       Names{"item05", "item10", "item15", "ITEM20", "item25"},
       "&filter=folder",
       "folders only"},
      {{.filter = "file", .deep = "true", .page = 3, .count = 10},
       Names{"item19", "item21", "item22", "item23", "ITEM24"},
       "&filter=file&deep=true",
       "the five inside.txt first"},
      {{.sort = "name&filter=folder", .page = 1, .count = 1},
       Names{"item01"},
       "&sort=name%26filter=folder",
       "sort adds no pair"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    const auto got = fetch(c.fields);
    EXPECT_EQ(got.names, c.names);
    EXPECT_EQ(got.response->statusCode(), 200);
    EXPECT_EQ(sent().at(0), "GET /cloud/1/trash?virtualfolder=Docs" + c.query);
  }
}

TEST_F(TrashTest, AnswerShapes) {
  const struct {
    const char* body;
    Names names;
    const char* why;
  } cases[] = {
      {R"({"trashCan": {"folder": {"name": "d"}, "file": {"name": "f"}}})", {"f", "d"}, "one each"},
      {R"({"trashCan": [{"folder": [{"name": "b"}]}, {"file": [{"name": "a"}]}]})",
       {"b", "a"},
       "a list of trash cans"},
      {R"({"trashCan": {"file": ["x", 1, null, {"name": "ok"}], "folder": "d"}})",
       {"ok"},
       "elements that are not objects"},
      {R"({"other": 1})", {}, "no trash can"},
  };
  tree().clear();
  tree().addVirtualFolder("Only");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/trash", {.body = c.body});
    EXPECT_EQ(fetch({}).names, c.names);
  }
}

TEST_F(TrashTest, FailuresEndWithNilItemsAndTheResponseThatDecided) {
  server().scriptOnce("GET", "/cloud/1/trash", {.status = 500, .body = "{}"});
  const auto failedFolder = fetch({});
  EXPECT_FALSE(failedFolder.names);
  EXPECT_EQ(failedFolder.response->statusCode(), 500);
  EXPECT_EQ(sent().size(), 3U) << "the other folders were still listed";

  server().clearLog();
  server().scriptOnce("GET", "/cloud/1/metadata", {.status = 503});
  const auto failedRoot = fetch({});
  EXPECT_FALSE(failedRoot.names);
  EXPECT_EQ(failedRoot.response->statusCode(), 503);
  server().scriptOnce("GET", "/cloud/1/metadata", {.status = 503});
  EXPECT_EQ(emptyTrash().response->statusCode(), 503);

  // A root answered 200 that reaches no virtual folder sends nothing and is no success.
  const struct {
    const char* rootBody;
    const char* why;
  } unreached[] = {
      {R"({"folder": {"folder": [{"name": "Photos"}, {"name": ""}]}})", "a nameless folder"},
      {"<html>busy</html>", "an unreadable root listing"},
  };
  for (const auto& c : unreached) {
    SCOPED_TRACE(c.why);
    const std::function<Received()> runs[] = {[] { return fetch({}); }, emptyTrash};
    for (const auto& run : runs) {
      server().scriptOnce("GET", "/cloud/1/metadata", {.body = c.rootBody});
      const auto got = run();
      EXPECT_FALSE(got.names);
      ASSERT_NE(got.response, nullptr);
      EXPECT_FALSE(TQAPIQueryResponse_Helper::isSuccess(*got.response));
      EXPECT_TRUE(got.response->error());
    }
  }
  EXPECT_TRUE(sent().empty());

  tree().clear();
  tree().addVirtualFolder("Gone");
  tree().removeVirtualFolder("Gone", false);  // the root stays, with no virtual folder
  const auto noFolders = fetch({});
  EXPECT_FALSE(noFolders.names);
  EXPECT_EQ(noFolders.response, nullptr);
  EXPECT_EQ(emptyTrash().response, nullptr);
}

TEST_F(TrashTest, EmptyingPurgesEveryVirtualFoldersTrash) {
  const auto got = emptyTrash();
  ASSERT_NE(got.response, nullptr);
  EXPECT_EQ(got.response->statusCode(), 200);
  EXPECT_EQ(sent(), (Names{"DELETE /cloud/1/trash?virtualfolder=Docs",
                           "DELETE /cloud/1/trash?virtualfolder=My%20Music",
                           "DELETE /cloud/1/trash?virtualfolder=Photos"}));
  for (const char* folder : {"Photos", "My Music", "Docs"}) {
    EXPECT_TRUE(tree().trash(folder, true).empty()) << folder;
  }
  EXPECT_TRUE(tree().resourceObject("/Docs/alive.txt")) << "live items stay";
}

TEST_F(TrashTest, EmptyingWithoutAHandlerStillPurges) {
  server().clearLog();
  sdk()->deleteTrashWithCompletionHandler(nullptr);
  // The root listing, then one purge per virtual folder.
  ASSERT_TRUE(server().waitForRequests(4, testsupport::kTimeout));
  EXPECT_EQ(sent(), (Names{"DELETE /cloud/1/trash?virtualfolder=Docs",
                           "DELETE /cloud/1/trash?virtualfolder=My%20Music",
                           "DELETE /cloud/1/trash?virtualfolder=Photos"}));
}

}  // namespace
