#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::Latch;

using testsupport::LogCapture;

// Records, in one shared journal, when each operation's main() ran.
class Journal {
 public:
  void record(int id) {
    std::lock_guard lock(mutex_);
    entries_.push_back(id);
  }
  std::vector<int> entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<int> entries_;
};

// Counts each finished operation down on `finished` through its completion block.
std::shared_ptr<tq::BlockOperation> journaled(int id, Journal& journal, Latch& finished) {
  auto op = tq::BlockOperation::create([id, &journal] { journal.record(id); });
  op->setCompletionBlock([&finished] { finished.countDown(); });
  return op;
}

// An asynchronous operation that hands its work to a serial queue and finishes from there once
// the test opens its gate.
class HandOffOperation : public tq::Operation {
 public:
  explicit HandOffOperation(std::shared_ptr<tq::SerialQueue> worker) : worker_(std::move(worker)) {}
  bool isAsynchronous() const override { return true; }
  void main() override {
    setExecuting(true);
    worker_->async([self = shared_from_this(), this] {
      EXPECT_TRUE(gate.wait());
      finish();
    });
    mainReturned.countDown();
  }
  Latch gate;
  Latch mainReturned;

 private:
  std::shared_ptr<tq::SerialQueue> worker_;
};

// Every operation that is not cancelled runs, after each dependency that ran; none that is
// cancelled runs.
TEST(OperationQueueTest, DependenciesOrderTheOperations) {
  struct Case {
    const char* reason;
    int count;
    std::vector<std::pair<int, int>> dependencies;  // (operation, the one it waits for)
    std::vector<int> cancelled;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"a chain runs link by link", 4, {{1, 0}, {2, 1}, {3, 2}}, {}},
      {"fan-in waits for every dependency", 4, {{3, 0}, {3, 1}, {3, 2}}, {}},
      {"fan-out releases every dependent", 4, {{1, 0}, {2, 0}, {3, 0}}, {}},
      {"a diamond", 4, {{1, 0}, {2, 0}, {3, 1}, {3, 2}}, {}},
      {"a cancelled dependency finishes unrun and releases its dependent", 2, {{1, 0}}, {0}},
      {"a cancelled dependent never runs", 2, {{1, 0}}, {1}},
      {"a cancelled link does not wait for its own dependency", 3, {{1, 0}, {2, 1}}, {1}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    tq::OperationQueue queue;
    Journal journal;
    Latch finished(c.count);
    std::vector<std::shared_ptr<tq::Operation>> ops;
    ops.reserve(c.count);
    for (int i = 0; i < c.count; ++i) {
      ops.push_back(journaled(i, journal, finished));
    }
    for (const auto& [op, dependency] : c.dependencies) {
      ops[op]->addDependency(ops[dependency]);
    }
    for (int i : c.cancelled) {
      ops[i]->cancel();
    }
    // Dependents go in first, so that the order of adding cannot stand in for the dependencies.
    queue.addOperations({ops.rbegin(), ops.rend()}, false);
    ASSERT_TRUE(finished.wait());
    const auto ran = journal.entries();
    const auto position = [&ran](int id) { return std::find(ran.begin(), ran.end(), id); };
    for (int i = 0; i < c.count; ++i) {
      const bool cancelled = std::count(c.cancelled.begin(), c.cancelled.end(), i) != 0;
      EXPECT_EQ(position(i) != ran.end(), !cancelled) << i;
      EXPECT_TRUE(ops[i]->isFinished()) << i;
    }
    for (const auto& [op, dependency] : c.dependencies) {
      if (position(op) != ran.end() && position(dependency) != ran.end()) {
        EXPECT_LT(position(dependency), position(op)) << op << " waits for " << dependency;
      }
    }
  }
}

TEST(OperationQueueTest, DependencyOnAnOperationOutsideTheQueue) {
  tq::OperationQueue queue;
  Journal journal;
  Latch finished(2);
  auto outside = journaled(0, journal, finished);
  auto inside = journaled(1, journal, finished);
  inside->addDependency(outside);
  queue.addOperation(inside);
  EXPECT_FALSE(inside->isReady());
  outside->start();  // by hand, on the test thread
  ASSERT_TRUE(finished.wait());
  EXPECT_EQ(journal.entries(), (std::vector<int>{0, 1}));
}

// Held back by a dependency that never runs, cancelled operations still become ready and finish.
TEST(OperationQueueTest, CancelledBeforeStartFinishesWithoutMain) {
  tq::OperationQueue queue;
  auto neverRuns = tq::BlockOperation::create([] {});
  Journal journal;
  constexpr int kOps = 500;
  Latch finished(kOps);
  std::vector<std::shared_ptr<tq::Operation>> ops;
  ops.reserve(kOps);
  for (int i = 0; i < kOps; ++i) {
    ops.push_back(journaled(i, journal, finished));
    ops.back()->addDependency(neverRuns);
  }
  queue.addOperations(ops, false);
  queue.cancelAllOperations();
  ASSERT_TRUE(finished.wait());
  EXPECT_TRUE(journal.entries().empty());
  EXPECT_TRUE(std::all_of(ops.begin(), ops.end(), [](const auto& op) {
    return op->isCancelled() && op->isFinished() && !op->isExecuting();
  }));
}

TEST(OperationQueueTest, CancelledWhileRunningStillFinishesNormally) {
  tq::OperationQueue queue;
  Latch started;
  Latch proceed;
  Latch dependentRan;
  auto running = tq::BlockOperation::create([&] {
    started.countDown();
    EXPECT_TRUE(proceed.wait());
  });
  auto dependent = tq::BlockOperation::create([&] { dependentRan.countDown(); });
  dependent->addDependency(running);
  queue.addOperations({running, dependent}, false);
  ASSERT_TRUE(started.wait());
  running->cancel();
  EXPECT_TRUE(running->isExecuting());
  proceed.countDown();
  ASSERT_TRUE(dependentRan.wait());
  EXPECT_TRUE(running->isCancelled());
  EXPECT_TRUE(running->isFinished());
}

TEST(OperationQueueTest, AsynchronousOperationFinishesLaterFromAnotherThread) {
  tq::OperationQueue queue;
  auto op = std::make_shared<HandOffOperation>(tq::SerialQueue::create("test.hand-off"));
  Latch dependentRan;
  auto dependent = tq::BlockOperation::create([&] { dependentRan.countDown(); });
  dependent->addDependency(op);
  queue.addOperations({op, dependent}, false);
  ASSERT_TRUE(op->mainReturned.wait());
  // main() has returned, yet the operation is under way and holds its dependent back.
  EXPECT_TRUE(op->isExecuting());
  EXPECT_FALSE(op->isFinished());
  EXPECT_EQ(queue.operationCount(), 2U);
  EXPECT_EQ(dependentRan.count(), 1);
  op->gate.countDown();
  ASSERT_TRUE(dependentRan.wait());
  EXPECT_TRUE(op->isFinished());
  EXPECT_FALSE(op->isExecuting());
}

TEST(OperationQueueTest, ThrowingWorkIsLoggedAndTheOperationFinishes) {
  struct Case {
    const char* reason;
    std::function<void()> main;
    std::function<void()> completion;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"main throws std::exception", [] { throw std::runtime_error("main broke"); }, nullptr,
       "main broke"},
      {"main throws anything else", [] { throw 7; }, nullptr, "unknown exception"},
      {"completion block throws", [] {}, [] { throw std::runtime_error("completion broke"); },
       "completion broke"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    LogCapture log;
    tq::OperationQueue queue;
    Latch dependentRan;
    auto op = tq::BlockOperation::create(c.main);
    op->setCompletionBlock(c.completion);
    auto dependent = tq::BlockOperation::create([&] { dependentRan.countDown(); });
    dependent->addDependency(op);
    queue.addOperations({op, dependent}, false);
    ASSERT_TRUE(dependentRan.wait());
    EXPECT_TRUE(op->isFinished());
    const auto lines = log.waitForLines(1);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines[0].find("FATEL"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(c.expected), std::string::npos) << lines[0];
  }
}

TEST(OperationQueueTest, MainOperationQueueRunsOnTheMainQueue) {
  Latch ran;
  std::atomic<bool> onMain{false};
  tq::mainOperationQueue().addOperationWithBlock([&] {
    onMain = tq::mainQueue().isCurrent();
    ran.countDown();
  });
  ASSERT_TRUE(ran.wait());
  EXPECT_TRUE(onMain.load());
}

}  // namespace
