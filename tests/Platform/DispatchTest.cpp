#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::kTimeout;

using testsupport::LogCapture;

bool waitFor(std::future<void> future) {
  return future.wait_for(kTimeout) == std::future_status::ready;
}

TEST(DispatchTest, SerialQueueRunsBlocksInSubmissionOrder) {
  auto queue = tq::SerialQueue::create("test.order");
  std::vector<int> seen;  // touched only by the queue's blocks, read after sync()
  for (int i = 0; i < 500; ++i) {
    queue->async([&seen, i] { seen.push_back(i); });
  }
  std::vector<int> copy;
  queue->sync([&] { copy = seen; });
  ASSERT_EQ(copy.size(), 500U);
  for (int i = 0; i < 500; ++i) {
    EXPECT_EQ(copy[i], i);
  }
}

TEST(DispatchTest, ThrowingBlockIsLoggedAndTheQueueGoesOn) {
  struct Case {
    const char* reason;
    std::function<tq::DispatchQueue&()> queue;
    std::function<void()> thrower;
    std::string expected;
  };
  auto serial = tq::SerialQueue::create("test.throwing");
  const std::vector<Case> cases = {
      {"std::exception on a serial queue", [&]() -> tq::DispatchQueue& { return *serial; },
       [] { throw std::runtime_error("broken block"); }, "broken block"},
      {"anything else on a serial queue", [&]() -> tq::DispatchQueue& { return *serial; },
       [] { throw 42; }, "unknown exception"},
      {"std::exception on the main queue", []() -> tq::DispatchQueue& { return tq::mainQueue(); },
       [] { throw std::logic_error("main broke"); }, "main broke"},
      {"std::exception on the global queue",
       []() -> tq::DispatchQueue& { return tq::globalQueue(); },
       [] { throw std::out_of_range("global broke"); }, "global broke"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    LogCapture log;
    auto& queue = c.queue();
    queue.async(c.thrower);
    queue.sync(c.thrower);  // swallows what its block throws, too
    bool wentOn = false;
    queue.sync([&wentOn] { wentOn = true; });
    EXPECT_TRUE(wentOn);
    const auto lines = log.waitForLines(2);
    ASSERT_EQ(lines.size(), 2U);
    for (const auto& line : lines) {
      EXPECT_NE(line.find("FATEL"), std::string::npos) << line;
      EXPECT_NE(line.find(queue.label()), std::string::npos) << line;
      EXPECT_NE(line.find(c.expected), std::string::npos) << line;
    }
  }
}

TEST(DispatchTest, SyncOnItsOwnQueueRunsInline) {
  auto serial = tq::SerialQueue::create("test.inline");
  for (tq::DispatchQueue* queue :
       {static_cast<tq::DispatchQueue*>(serial.get()), &tq::mainQueue()}) {
    SCOPED_TRACE(queue->label());
    std::promise<std::vector<std::string>> steps;
    queue->async([queue, &steps] {
      std::vector<std::string> seen;
      queue->sync([&] { seen.push_back(queue->isCurrent() ? "inner on queue" : "inner off"); });
      seen.emplace_back("outer");
      steps.set_value(seen);
    });
    auto future = steps.get_future();
    ASSERT_EQ(future.wait_for(kTimeout), std::future_status::ready);
    EXPECT_EQ(future.get(), (std::vector<std::string>{"inner on queue", "outer"}));
  }
}

TEST(DispatchTest, IsCurrentOnlyInsideTheQueuesOwnBlocks) {
  auto first = tq::SerialQueue::create("test.first");
  auto second = tq::SerialQueue::create("test.second");
  const std::vector<tq::DispatchQueue*> queues = {first.get(), second.get(), &tq::mainQueue(),
                                                  &tq::globalQueue()};
  for (auto* queue : queues) {
    EXPECT_FALSE(queue->isCurrent()) << queue->label() << " on the test thread";
  }
  for (auto* running : queues) {
    std::vector<bool> current;
    running->sync([&] {
      for (auto* queue : queues) {
        current.push_back(queue->isCurrent());
      }
    });
    for (std::size_t i = 0; i < queues.size(); ++i) {
      EXPECT_EQ(current[i], queues[i] == running)
          << queues[i]->label() << " seen from a block of " << running->label();
    }
  }
}

TEST(DispatchTest, SerialQueueReleasedFromItsOwnBlockFinishesPendingBlocks) {
  auto queue = tq::SerialQueue::create("test.self-release");
  std::weak_ptr<tq::SerialQueue> weak = queue;
  std::promise<void> callerLetGo;
  std::promise<void> lastRan;
  std::vector<int> order;  // touched only by the queue's blocks
  queue->async([holder = queue, gate = callerLetGo.get_future().share(), &order]() mutable {
    ASSERT_EQ(gate.wait_for(kTimeout), std::future_status::ready);
    order.push_back(1);
    holder.reset();  // the last reference: the queue object goes away on its own thread
  });
  queue->async([&order] { order.push_back(2); });
  queue->async([&order, &lastRan] {
    order.push_back(3);
    lastRan.set_value();
  });
  queue.reset();
  callerLetGo.set_value();
  ASSERT_TRUE(waitFor(lastRan.get_future()));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// Keep this test last: once it hands the main queue over, nothing else in the process runs it.
TEST(DispatchTest, MainQueueCanBeHandedToTheHostsLoop) {
  struct HostLoop {
    std::mutex mutex;
    std::vector<tq::Block> blocks;
  };
  // Leaked: the executor stays installed for the rest of the process.
  auto* loop = new HostLoop;
  if (!tq::setMainQueueExecutor([loop](tq::Block block) {
        std::lock_guard lock(loop->mutex);
        loop->blocks.push_back(std::move(block));
      })) {
    delete loop;
    GTEST_SKIP() << "the main queue already started in this process; run this test alone";
  }
  bool ranOnMain = false;
  tq::mainQueue().async([&] { ranOnMain = tq::mainQueue().isCurrent(); });
  EXPECT_FALSE(tq::setMainQueueExecutor([](const tq::Block&) {})) << "too late after first use";
  std::vector<tq::Block> blocks;
  {
    std::lock_guard lock(loop->mutex);
    blocks.swap(loop->blocks);
  }
  ASSERT_EQ(blocks.size(), 1U);
  blocks.front()();
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(tq::mainQueue().label(), "tq.main");
}

}  // namespace
