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

// Threads fetch the same rows through one context while each drops what it fetched: objects die
// while others look their rows up. A row the test holds must come back as the same object every
// time; any other row comes back as a live object, and none stays registered once all are gone.
TEST_F(TQObjectBlocksStoreConcurrencyTest, RowsDroppedWhileFetchedAgainKeepOneObjectPerRow) {
  constexpr int kRows = 600;
  constexpr int kHeldEvery = 7;
  constexpr int kThreads = 4;
  constexpr int kRounds = 15;
  std::vector<TQResourceValues> values;
  values.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    values.push_back(resourceValues("n" + std::to_string(i), "u" + std::to_string(i)));
  }
  ASSERT_TRUE(store()->performWrite(
      store()->currentEpoch(), [&](TQWriteTransaction& write) { write.upsertResources(values); },
      nullptr));
  const auto context = store()->mainQueueManagedObjectContext();
  const TQFetchRequest request{.entityName = "TQDBResource", .predicate = nullptr};
  std::vector<std::shared_ptr<TQManagedObject>> held;
  {
    const auto first = context->executeFetchRequestForCommittedObjects(request, nullptr).value();
    ASSERT_EQ(first.size(), size_t{kRows});
    for (int i = 0; i < kRows; i += kHeldEvery) {
      held.push_back(first[i].second);
    }
  }
  testsupport::Latch start(kThreads);
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.countDown();
      start.wait();
      for (int round = 0; round < kRounds; ++round) {
        // Half the threads take the lists' road, half the plain fetch.
        std::vector<std::shared_ptr<TQManagedObject>> objects;
        if (t % 2 == 0) {
          auto rows = context->executeFetchRequestForCommittedObjects(request, nullptr).value();
          for (auto& [identifier, object] : rows) {
            objects.push_back(std::move(object));
          }
        } else {
          objects = context->executeFetchRequest(request, nullptr);
        }
        ASSERT_EQ(objects.size(), size_t{kRows});
        for (int i = 0; i < kRows; ++i) {
          ASSERT_NE(objects[i], nullptr);
          if (i % kHeldEvery == 0) {
            ASSERT_EQ(objects[i], held[i / kHeldEvery]) << "row " << i;
          }
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
