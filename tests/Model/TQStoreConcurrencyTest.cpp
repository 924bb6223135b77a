#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "tests/Model/StoreFixture.h"

namespace {

using TQStoreConcurrencyTest = StoreFixture;

constexpr int kReaders = 4;

TEST_F(TQStoreConcurrencyTest, BoundGettersFromSeveralThreadsWhileTheRowChangesAndGoes) {
  constexpr int kVersions = 40;
  const auto rowID = insertRows({resourceObject("a.jpg", "u1")})[0]->objectID();
  const auto photo = TQPhoto::initWithDBResourceID(rowID);
  std::atomic<bool> done{false};
  std::atomic<int> unexpected{0};
  std::vector<std::thread> readers;
  readers.reserve(kReaders);
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back([&] {
      // Each reader also binds records of its own, as media lists do on the global queue.
      const auto own = TQPhoto::initWithDBResourceID(rowID);
      while (!done.load()) {
        for (const auto& record : {photo, own}) {
          const auto tags = record->tags();
          if (record->name() != "a.jpg" || (tags && !tags->starts_with("v"))) {
            ++unexpected;
          }
        }
      }
    });
  }
  for (int version = 0; version < kVersions; ++version) {
    const auto context = store()->backgroundManagedObjectContext();
    auto rows =
        TQDBResource::findResource(equals("uri", std::string("u1")), false, context, nullptr);
    ASSERT_EQ(rows.size(), 1u);
    rows[0]->setTags("v" + std::to_string(version));
    ASSERT_TRUE(context->save(nullptr));
  }
  EXPECT_EQ(photo->tags(), "v" + std::to_string(kVersions - 1));
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  done = true;
  for (auto& reader : readers) {
    reader.join();
  }
  EXPECT_EQ(unexpected.load(), 0);
  EXPECT_EQ(photo->tags(), "v" + std::to_string(kVersions - 1)) << "the values last read";
  EXPECT_EQ(photo->name(), "a.jpg");
}

TEST_F(TQStoreConcurrencyTest, EachSaveIsOneTransactionWhateverRunsBeside) {
  constexpr int kWriters = 4;
  constexpr int kSaves = 5;
  constexpr int kRowsPerSave = 10;
  std::atomic<int> writersLeft{kWriters};
  std::atomic<int> tornReads{0};
  std::vector<std::thread> threads;
  threads.reserve(kWriters + 2);
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      const auto context = store()->backgroundManagedObjectContext();
      for (int s = 0; s < kSaves; ++s) {
        for (int r = 0; r < kRowsPerSave; ++r) {
          const std::string uri =
              std::to_string(w) + "-" + std::to_string(s) + "-" + std::to_string(r);
          TQDBResource::insertNewObjectIntoContext(context)->loadFromDictionary(
              resourceObject(uri, uri));
        }
        EXPECT_TRUE(context->save(nullptr));
      }
      --writersLeft;
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&] {
      const auto context = store()->backgroundManagedObjectContext();
      const TQFetchRequest request{.entityName = "TQDBResource"};
      while (writersLeft.load() > 0) {
        // Saves commit ten rows at once, so a reader never sees a count between.
        if (context->executeFetchRequestForObjectIDs(request, nullptr).size() % kRowsPerSave != 0) {
          ++tornReads;
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(tornReads.load(), 0);
  EXPECT_EQ(rowsInFile("TQDBResource"), kWriters * kSaves * kRowsPerSave);
}

TEST_F(TQStoreConcurrencyTest, MergesBegunBeforeLogoutLeaveNothingBehind) {
  constexpr int kMerges = 4;
  const uint64_t syncEpoch = store()->currentEpoch();
  testsupport::Latch started(kMerges);
  std::vector<std::thread> merges;
  merges.reserve(kMerges);
  for (int m = 0; m < kMerges; ++m) {
    merges.emplace_back([&, m] {
      const auto context = store()->backgroundManagedObjectContext(syncEpoch);
      started.countDown();
      for (int r = 0; r < 25; ++r) {
        const std::string uri = std::to_string(m) + "-" + std::to_string(r);
        TQDBResource::insertNewObjectIntoContext(context)->loadFromDictionary(
            resourceObject(uri, uri));
      }
      context->save(nullptr);  // commits before the logout (and is emptied by it) or not at all
    });
  }
  ASSERT_TRUE(started.wait());
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  for (auto& merge : merges) {
    merge.join();
  }
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
}

}  // namespace
