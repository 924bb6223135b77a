#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::Latch;

unsigned cores() { return std::max(1U, std::thread::hardware_concurrency()); }

// Many more global blocks than threads all wait on other queues at once; they must all get their
// turn once those queues move.
TEST(DispatchConcurrencyTest, GlobalBlocksWaitingOnOtherQueuesDoNotDeadlock) {
  auto serial = tq::SerialQueue::create("test.gate");
  Latch gate;
  serial->async([&gate] { ASSERT_TRUE(gate.wait()); });
  const int count = static_cast<int>(std::max(64U, 16 * cores()));
  Latch done(count);
  std::atomic<int> onSerial{0};
  std::atomic<int> onMain{0};
  for (int i = 0; i < count; ++i) {
    tq::globalQueue().async([&, i] {
      if (i % 2 == 0) {
        serial->sync([&] { ++onSerial; });
      } else {
        tq::mainQueue().sync([&] { ++onMain; });
        serial->sync([&] { ++onSerial; });
      }
      done.countDown();
    });
  }
  gate.countDown();
  ASSERT_TRUE(done.wait()) << done.count() << " blocks never finished";
  EXPECT_EQ(onSerial.load(), count);
  EXPECT_EQ(onMain.load(), count / 2);
}

// Blocks from many producers: each producer's blocks keep their order, and never two at once.
TEST(DispatchConcurrencyTest, SerialQueueKeepsEachProducersOrderAndRunsOneBlockAtATime) {
  auto serial = tq::SerialQueue::create("test.producers");
  for (tq::DispatchQueue* queue :
       {static_cast<tq::DispatchQueue*>(serial.get()), &tq::mainQueue()}) {
    SCOPED_TRACE(queue->label());
    constexpr int kProducers = 8;
    constexpr int kBlocks = 300;
    std::vector<std::vector<int>> seen(kProducers);  // touched only by the queue's blocks
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    Latch done(kProducers * kBlocks);
    std::vector<std::thread> producers;
    producers.reserve(kProducers);
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&, p] {
        for (int i = 0; i < kBlocks; ++i) {
          queue->async([&, p, i] {
            if (running.fetch_add(1) != 0) {
              overlapped = true;
            }
            seen[p].push_back(i);
            running.fetch_sub(1);
            done.countDown();
          });
        }
      });
    }
    for (auto& producer : producers) {
      producer.join();
    }
    ASSERT_TRUE(done.wait());
    EXPECT_FALSE(overlapped.load());
    queue->sync([&] {
      for (const auto& blocks : seen) {
        EXPECT_TRUE(std::is_sorted(blocks.begin(), blocks.end()));
        EXPECT_EQ(blocks.size(), static_cast<std::size_t>(kBlocks));
      }
    });
  }
}

// Queues that go away from inside their own blocks, while new queues are being made next to them.
TEST(DispatchConcurrencyTest, QueuesReleasedFromTheirOwnBlocksFinishTheirWork) {
  constexpr int kQueues = 64;
  Latch done(kQueues);
  std::atomic<int> afterRelease{0};
  for (int q = 0; q < kQueues; ++q) {
    auto queue = tq::SerialQueue::create("test.released");
    tq::globalQueue().async([holder = queue]() mutable {
      holder->async([inner = holder] {});
      holder.reset();
    });
    queue->async([keep = queue]() mutable { keep.reset(); });
    queue->async([&] {
      ++afterRelease;
      done.countDown();
    });
  }
  ASSERT_TRUE(done.wait());
  EXPECT_EQ(afterRelease.load(), kQueues);
}

}  // namespace
