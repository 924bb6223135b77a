#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"
#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

namespace {

struct Row {
  int64_t values[100] = {};
};

// A list's rows are made on a worker and freed wherever the host drops them: objects of one block
// freed on several threads at once must give the block back exactly once.
TEST(TQObjectBlocksConcurrencyTest, ObjectsOfOneBlockFreedOnManyThreads) {
  constexpr size_t kThreads = 4;
  constexpr size_t kRowsPerThread = 500;
  std::vector<std::vector<std::shared_ptr<Row>>> shares(kThreads);
  {
    TQObjectBlocks blocks;
    for (size_t i = 0; i < kThreads * kRowsPerThread; ++i) {
      auto row = blocks.make<Row>();
      row->values[0] = static_cast<int64_t>(i);
      shares[i % kThreads].push_back(std::move(row));
    }
  }
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (auto& share : shares) {
    threads.emplace_back([&share] {
      for (auto& row : share) {
        EXPECT_GE(row->values[0], 0);
        row.reset();
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
}

class TQObjectBlocksStoreConcurrencyTest : public StoreFixture {};

// Threads fetch the same rows through one context while each drops what it fetched, so objects die
// while others look their rows up: a row the test holds comes back as the same object every time,
// and none stays registered once all are gone.
TEST_F(TQObjectBlocksStoreConcurrencyTest, RowsDroppedWhileFetchedAgainKeepOneObjectPerRow) {
  constexpr size_t kRows = 600;
  constexpr size_t kHeldEvery = 7;
  std::vector<TQResourceValues> values;
  values.reserve(kRows);
  for (size_t i = 0; i < kRows; ++i) {
    values.push_back(resourceValues("n" + std::to_string(i), "u" + std::to_string(i)));
  }
  ASSERT_TRUE(store()->performWrite(
      store()->currentEpoch(), [&](TQWriteTransaction& write) { write.upsertResources(values); },
      nullptr));
  const auto context = store()->mainQueueManagedObjectContext();
  const auto fetch = [&] {
    return context->executeFetchRequestForCommittedObjects({"TQDBResource"}, nullptr).value();
  };
  std::vector<std::shared_ptr<TQManagedObject>> held;
  for (const auto& row = fetch(); held.size() * kHeldEvery < kRows;) {
    held.push_back(row[held.size() * kHeldEvery].second);
  }
  std::vector<std::thread> threads(4);
  for (auto& thread : threads) {
    thread = std::thread([&] {
      for (int round = 0; round < 15; ++round) {
        const auto rows = fetch();
        ASSERT_EQ(rows.size(), kRows);
        for (size_t i = 0; i < kRows; i += kHeldEvery) {
          ASSERT_EQ(rows[i].second, held[i / kHeldEvery]) << "row " << i;
        }
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(context->registeredObjectCount(), held.size());
  held.clear();
  EXPECT_EQ(context->registeredObjectCount(), 0U);
}

}  // namespace
