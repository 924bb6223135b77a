// The set-up the full sync's and the local search's end-to-end tests share: the test server with
// a signed-in facade, ways to run a sync or a search and wait for it, and the local store read on
// a connection of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"
#include "testserver/SyncRoutes.h"

namespace synctest {

using Strings = std::vector<std::string>;
using PathSet = std::set<std::string>;

struct SyncOutcome {
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
};

class SyncFixture : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }
  testserver::FullViewSwitches& switches() {
    return server().state<testserver::FullViewSwitches>();
  }

  // Runs a full sync and waits for its one report.
  static SyncOutcome sync() {
    testsupport::Latch done;
    SyncOutcome outcome;
    TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
        [&](const std::shared_ptr<TQAPIQueryResponse>& response) {
          outcome = {response, tq::mainQueue().isCurrent()};
          done.countDown();
        });
    EXPECT_TRUE(done.wait());
    drainMainQueue();  // a second report would have been queued by now
    return outcome;
  }

  // The paths of the tree's live items (the virtual folders themselves are not listed).
  PathSet livePaths() {
    PathSet paths;
    for (const auto& item : tree().liveItems()) {
      auto path = item["path"].get<std::string>();
      if (path.find('/', 1) != std::string::npos) {
        paths.insert(std::move(path));
      }
    }
    return paths;
  }

  // The first column of each row `sql` selects from the store file, as text ("nil" for NULL).
  static Strings query(const std::string& sql) {
    Strings texts;
    if (!std::filesystem::exists(TQPersistentStore::storeURL())) {
      return texts;
    }
    tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                                tq::SQLiteDatabase::OpenMode::ReadOnly);
    auto statement = database.prepare(sql);
    while (statement.step()) {
      texts.push_back(statement.columnText(0).value_or("nil"));
    }
    return texts;
  }

  static PathSet storedPaths() {
    const auto paths = query("SELECT fullPath FROM TQDBResource");
    return {paths.begin(), paths.end()};
  }

  // eTagID -> eTag ("nil" for none) of every TQETag row.
  static std::map<std::string, std::string> storedETags() {
    std::map<std::string, std::string> eTags;
    for (const auto& row : query("SELECT eTagID || char(9) || ifnull(eTag, 'nil') FROM TQETag")) {
      const auto tab = row.find('\t');
      eTags[row.substr(0, tab)] = row.substr(tab + 1);
    }
    return eTags;
  }

  // The "X-Header-ETag" each fullview request since the log was cleared sent, by its target.
  std::map<std::string, std::string> sentETags() {
    std::map<std::string, std::string> sent;
    for (const auto& request : server().requests("/cloud/1/fullview")) {
      sent[request.target] = request.header("X-Header-ETag").value_or("none");
    }
    return sent;
  }
};

}  // namespace synctest
