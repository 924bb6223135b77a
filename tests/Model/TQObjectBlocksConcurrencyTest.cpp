#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"

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

}  // namespace
