// Full syncs running side by side (a host's own and those of the media lists) against the same
// store: each uri is stored once and every report arrives once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/APIOperation/Operations/FullView/TQFullViewAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "tests/Sync/SyncFixture.h"

namespace {

using synctest::Strings;

class SyncConcurrencyTest : public synctest::SyncFixture {};

TEST_F(SyncConcurrencyTest, SyncsSideBySideStoreEachURIOnce) {
  for (const char* folder : {"Photos", "Videos", "Docs"}) {
    tree().addVirtualFolder(folder);
    for (int i = 0; i < 300; ++i) {
      tree().addFile("/" + std::string(folder) + "/" + std::to_string(i) + ".jpg");
    }
  }
  constexpr int kSyncs = 3;
  constexpr int kPhotoLists = 2;
  testsupport::Latch done(kSyncs + kPhotoLists);
  std::atomic<int> reports = 0;
  std::atomic<size_t> photos = 0;
  std::vector<std::thread> hosts;
  hosts.reserve(kSyncs + kPhotoLists);
  for (int i = 0; i < kSyncs; ++i) {
    hosts.emplace_back([&] {
      TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
          [&](const std::shared_ptr<TQAPIQueryResponse>&) {
            ++reports;
            done.countDown();
          });
    });
  }
  for (int i = 0; i < kPhotoLists; ++i) {
    hosts.emplace_back([&] {
      TQAPISDK::sharedInstance()->getPhotosWithCompletionHandler(
          [&](const std::vector<std::shared_ptr<TQPhoto>>& items,
              const std::shared_ptr<TQAPIQueryResponse>&) {
            photos = items.size();
            ++reports;
            done.countDown();
          });
    });
  }
  for (auto& host : hosts) {
    host.join();
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();
  EXPECT_EQ(reports, kSyncs + kPhotoLists);
  EXPECT_EQ(photos, 900U) << "a photo list sees its own sync's rows at least";
  EXPECT_EQ(query("SELECT count(*) - count(DISTINCT uri) FROM TQDBResource"), Strings{"0"});
  EXPECT_EQ(storedPaths(), livePaths());
  EXPECT_EQ(query("SELECT count(*) FROM TQETag"), Strings{"3"});
}

// A full sync of many folders while a context holds the store's writer: the merges wait for the
// writer without holding a worker of the shared pool, so work that needs every worker the pool may
// have still runs meanwhile. Once the writer is free every folder is merged, or none when a logout
// empties the store first; either way the sync reports once.
TEST_F(SyncConcurrencyTest, MergesWaitingForTheWriterHoldNoPoolWorkers) {
  constexpr int kFolders = 100;
  for (int i = 0; i < kFolders; ++i) {
    const std::string folder = "Folder" + std::to_string(i);
    tree().addVirtualFolder(folder);
    tree().addFile("/" + folder + "/a.jpg");
  }
  const auto store = TQPersistentStore::sharedPersistentStore();
  for (const bool logout : {false, true}) {
    SCOPED_TRACE(logout ? "a logout comes first" : "the writer is let go");
    ASSERT_TRUE(store->deleteAllObjects(nullptr));
    server().clearLog();
    const auto holder = store->backgroundManagedObjectContext();
    ASSERT_TRUE(holder->beginWriting(nullptr));
    testsupport::Latch synced;
    std::atomic<int> reports = 0;
    TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
        [&](const std::shared_ptr<TQAPIQueryResponse>&) {
          ++reports;
          synced.countDown();
        });
    ASSERT_TRUE(testsupport::eventually(
        [&] { return server().requests("/cloud/1/fullview").size() == kFolders; }));

    const auto everyWorker = static_cast<int>(tq::OperationQueue::workerPoolCeiling());
    testsupport::Latch allRunning(everyWorker);
    tq::OperationQueue others;
    for (int i = 0; i < everyWorker; ++i) {
      others.addOperationWithBlock([&] {
        allRunning.countDown();
        allRunning.wait();
      });
    }
    EXPECT_TRUE(allRunning.wait()) << "merges waiting for the writer hold pool workers";

    if (logout) {
      EXPECT_TRUE(store->deleteAllObjects(nullptr));
    }
    holder->rollback();
    ASSERT_TRUE(synced.wait());
    drainMainQueue();
    EXPECT_EQ(reports, 1);
    const Strings rows{logout ? "0" : std::to_string(kFolders)};
    EXPECT_EQ(query("SELECT count(*) FROM TQDBResource"), rows);
    EXPECT_EQ(query("SELECT count(*) FROM TQETag"), rows);
  }
}

// A batch cancelled while its merges wait for the writer: a waiting merge's operation finishes at
// once, while the writer is still held, and its merge never runs.
TEST_F(SyncConcurrencyTest, AMergeCancelledWhileItWaitsFinishesAtOnceAndWritesNothing) {
  const auto store = TQPersistentStore::sharedPersistentStore();
  const auto holder = store->backgroundManagedObjectContext();
  ASSERT_TRUE(holder->beginWriting(nullptr));
  const auto spool = TQAnswerSpool::make();
  spool->append(R"({"data":{"file":[{"name":"a.jpg","path":"/Photos/a.jpg","uri":"u1"}]}})");
  const auto operation = std::make_shared<TQFullViewAPIResponseOperation>(
      [spool] { return std::shared_ptr<const TQAnswerSpool>(spool); }, std::nullopt);
  const auto response = std::make_shared<TQAPIQueryResponse>();
  response->setUrlResponse(std::make_shared<tq::HTTPURLResponse>(
      *tq::URL::URLWithString(server().baseURL() + "/cloud/1/fullview?virtualfolder=Photos"), 200,
      tq::HTTPHeaderFields{}));
  operation->setResponse(response);
  testsupport::Latch finished;
  operation->setCompletionHandler([&] { finished.countDown(); });
  tq::OperationQueue queue;
  queue.addOperation(operation);
  ASSERT_TRUE(testsupport::eventually([&] { return operation->isExecuting(); }));
  operation->cancel();
  // Well within the write time-out, after which a waiting merge would end anyway.
  EXPECT_TRUE(finished.wait(std::chrono::seconds(10))) << "a cancelled merge waited for the writer";

  holder->rollback();
  // Queued writes run in order: once a later one ran, the cancelled merge had its turn.
  testsupport::Latch later;
  store->performWriteAsync(
      store->currentEpoch(), [](TQStoreError*) { return true; },
      [&](bool, const TQStoreError&) { later.countDown(); });
  ASSERT_TRUE(later.wait());
  EXPECT_EQ(query("SELECT count(*) FROM TQDBResource"), Strings{"0"});
}

}  // namespace
