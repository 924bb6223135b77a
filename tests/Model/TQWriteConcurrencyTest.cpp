#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

namespace {

constexpr int kURIs = 150;

class TQWriteConcurrencyTest : public StoreFixture {
 protected:
  // The uri a merge writes at step i: half of the merges run backwards.
  static std::string uriAt(int merge, int i) {
    return "u" + std::to_string(merge % 2 == 0 ? i : kURIs - 1 - i);
  }

  // One folder's merge in each of the two shapes the full sync may take.
  static void bulkMerge(int merge) {
    std::vector<TQResourceValues> rows;
    rows.reserve(kURIs);
    for (int i = 0; i < kURIs; ++i) {
      rows.push_back(resourceValues("m" + std::to_string(merge), uriAt(merge, i)));
    }
    TQStoreError error;
    EXPECT_TRUE(store()->performWrite(
        store()->currentEpoch(), [&](TQWriteTransaction& write) { write.upsertResources(rows); },
        &error))
        << error.localizedDescription;
  }

  static void findOrCreateMerge(int merge) {
    const auto context = store()->backgroundManagedObjectContext();
    for (int i = 0; i < kURIs; ++i) {
      TQDBResource::findResource(equals("uri", uriAt(merge, i)), true, context, nullptr)
          .front()
          ->loadFromDictionary(resourceObject("m" + std::to_string(merge), uriAt(merge, i)));
    }
    TQStoreError error;
    EXPECT_TRUE(context->save(&error)) << error.localizedDescription;
  }
};

TEST_F(TQWriteConcurrencyTest, MergesOfTheSameURIsSideBySideNeverDuplicateARow) {
  const struct {
    const char* reason;
    std::vector<void (*)(int)> merges;
  } cases[] = {
      {"bulk upserts", {bulkMerge, bulkMerge, bulkMerge, bulkMerge}},
      {"find-or-create in contexts",
       {findOrCreateMerge, findOrCreateMerge, findOrCreateMerge, findOrCreateMerge}},
      {"both shapes at once", {bulkMerge, findOrCreateMerge, bulkMerge, findOrCreateMerge}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(store()->deleteAllObjects(nullptr));
    testsupport::Latch start(static_cast<int>(c.merges.size()));
    std::vector<std::thread> threads;
    for (size_t m = 0; m < c.merges.size(); ++m) {
      threads.emplace_back([&, m] {
        start.countDown();
        start.wait();
        c.merges[m](static_cast<int>(m));
      });
    }
    for (auto& thread : threads) {
      thread.join();
    }
    const auto uris = textInFile("SELECT uri FROM TQDBResource");
    EXPECT_EQ(uris.size(), static_cast<size_t>(kURIs)) << c.reason;
    EXPECT_EQ(std::set<std::string>(uris.begin(), uris.end()).size(), uris.size()) << c.reason;
  }
}

TEST_F(TQWriteConcurrencyTest, LogoutDuringALongMergeGoesFirstAndTheMergeCommitsNothing) {
  // Were the merge not to give way, logout would fail as busy after this long and end the merge.
  store()->setWriteTimeout(std::chrono::seconds(20));
  const uint64_t syncEpoch = store()->currentEpoch();
  testsupport::Latch merging;
  std::atomic<bool> logoutReturned{false};
  TQStoreError runningError;
  TQStoreError queuedError;
  std::thread running([&] {
    store()->performWrite(
        syncEpoch,
        [&](TQWriteTransaction& write) {
          for (int batch = 0; !logoutReturned; ++batch) {
            std::vector<TQResourceValues> rows;
            for (int i = 0; i < 1000; ++i) {
              const std::string uri = std::to_string(batch) + "-" + std::to_string(i);
              rows.push_back(resourceValues(uri, uri));
            }
            write.upsertResources(rows);
            merging.countDown();
          }
        },
        &runningError);
  });
  ASSERT_TRUE(merging.wait());
  std::thread queued([&] {
    store()->performWrite(
        syncEpoch, [](TQWriteTransaction&) {}, &queuedError);
  });
  TQStoreError logoutError;
  EXPECT_TRUE(store()->deleteAllObjects(&logoutError)) << logoutError.localizedDescription;
  logoutReturned = true;
  running.join();
  queued.join();
  EXPECT_EQ(runningError.code, TQStoreErrorCode::Superseded);
  EXPECT_EQ(queuedError.code, TQStoreErrorCode::StoreWasReset) << "a merge of the old epoch";
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
  EXPECT_TRUE(store()->performWrite(
      store()->currentEpoch(),
      [](TQWriteTransaction& write) {
        const TQResourceValues row[] = {resourceValues("new", "new")};
        write.upsertResources(row);
      },
      nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 1);
}

}  // namespace
