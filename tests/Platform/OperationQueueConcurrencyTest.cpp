#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"
#include "tests/support/TestSupport.h"

namespace {

using testsupport::Latch;

std::size_t threadsInProcess() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// Finishes from whichever thread the test hands it to.
class ExternallyFinishedOperation : public tq::Operation {
 public:
  bool isAsynchronous() const override { return true; }
  void main() override {
    setExecuting(true);
    tq::globalQueue().async([self = std::static_pointer_cast<ExternallyFinishedOperation>(
                                 shared_from_this())] { self->finish(); });
  }
};

// Operations with random dependencies on earlier ones, added from several threads while another
// thread cancels some: every one finishes, and no running operation precedes a running
// dependency that was not cancelled.
TEST(OperationQueueConcurrencyTest, ManyOperationsWithDependenciesAndCancels) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 250;
  constexpr int kTotal = kProducers * kPerProducer;
  tq::OperationQueue queue;
  Latch finished(kTotal);
  std::vector<std::shared_ptr<tq::Operation>> ops(kTotal);
  std::atomic<int> orderViolations{0};
  std::mt19937 random(12345);
  for (int i = 0; i < kTotal; ++i) {
    std::vector<int> waitsFor;
    for (int d = 0; d < 3 && i > 0; ++d) {
      waitsFor.push_back(static_cast<int>(random() % static_cast<unsigned>(i)));
    }
    if (i % 5 == 0) {
      ops[i] = std::make_shared<ExternallyFinishedOperation>();
    } else {
      ops[i] = tq::BlockOperation::create([&, i, waitsFor] {
        for (int d : waitsFor) {
          if (!ops[d]->isCancelled() && !ops[d]->isFinished()) {
            ++orderViolations;
          }
        }
      });
    }
    for (int d : waitsFor) {
      ops[i]->addDependency(ops[d]);
    }
    ops[i]->setCompletionBlock([&] { finished.countDown(); });
  }
  std::vector<std::thread> threads;
  threads.reserve(kProducers + 1);
  for (int p = 0; p < kProducers; ++p) {
    threads.emplace_back([&, p] {
      for (int i = p; i < kTotal; i += kProducers) {
        queue.addOperation(ops[i]);
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < kTotal; i += 7) {
      ops[i]->cancel();
    }
  });
  for (auto& thread : threads) {
    thread.join();
  }
  ASSERT_TRUE(finished.wait()) << finished.count() << " operations never finished";
  EXPECT_EQ(orderViolations.load(), 0);
  for (int i = 0; i < kTotal; i += 7) {
    EXPECT_TRUE(ops[i]->isFinished());
  }
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(queue.operationCount(), 0U);
}

TEST(OperationQueueConcurrencyTest, CancelAllWhileOperationsRunAndArrive) {
  tq::OperationQueue queue;
  constexpr int kOps = 2000;
  Latch finished(kOps);
  std::atomic<int> mains{0};
  std::thread adder([&] {
    for (int i = 0; i < kOps; ++i) {
      auto op = tq::BlockOperation::create([&] { ++mains; });
      op->setCompletionBlock([&] { finished.countDown(); });
      queue.addOperation(op);
    }
  });
  for (int i = 0; i < 20; ++i) {
    queue.cancelAllOperations();
  }
  adder.join();
  queue.cancelAllOperations();
  ASSERT_TRUE(finished.wait());
  EXPECT_LE(mains.load(), kOps);
}

TEST(OperationQueueConcurrencyTest, MaxConcurrentOperationCountIsHonoured) {
  for (int limit : {1, 3}) {
    SCOPED_TRACE(limit);
    tq::OperationQueue queue;
    queue.setMaxConcurrentOperationCount(limit);
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    std::vector<int> order;  // only written when limit is 1
    std::mutex orderMutex;
    std::vector<std::shared_ptr<tq::Operation>> ops;
    ops.reserve(200);
    for (int i = 0; i < 200; ++i) {
      ops.push_back(tq::BlockOperation::create([&, i] {
        const int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        {
          std::lock_guard lock(orderMutex);
          order.push_back(i);
        }
        --running;
      }));
    }
    queue.addOperations(ops, true);
    EXPECT_LE(peak.load(), limit);
    if (limit == 1) {
      EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "a serial queue keeps FIFO";
    }
  }
}

// Queues that one of their own operations releases, many at once: the rest of their work still
// runs.
TEST(OperationQueueConcurrencyTest, QueuesReleasedFromTheirOwnWorkers) {
  constexpr int kQueues = 40;
  constexpr int kLaterPerQueue = 5;
  Latch laterRan(kQueues * kLaterPerQueue);
  std::vector<std::weak_ptr<tq::OperationQueue>> released;
  released.reserve(kQueues);
  for (int q = 0; q < kQueues; ++q) {
    auto queue = std::make_shared<tq::OperationQueue>();
    released.push_back(queue);
    auto first = std::make_shared<ExternallyFinishedOperation>();
    auto releaser = tq::BlockOperation::create([holder = queue]() mutable { holder.reset(); });
    releaser->addDependency(first);
    queue->addOperations({first, releaser}, false);
    for (int i = 0; i < kLaterPerQueue; ++i) {
      auto later = tq::BlockOperation::create([&laterRan] { laterRan.countDown(); });
      later->addDependency(releaser);
      queue->addOperation(later);
    }
  }
  ASSERT_TRUE(laterRan.wait());
  for (const auto& queue : released) {
    EXPECT_TRUE(queue.expired());
  }
}

// Batches, one queue each and released at once as batches are: every operation runs on one of the
// pool's threads. Kernel thread ids, unlike std::thread ids, are not reused by the next thread.
TEST(OperationQueueConcurrencyTest, ManyQueuesShareOneBoundedPool) {
  constexpr int kQueues = 200;
  constexpr int kPerQueue = 5;
  Latch finished(kQueues * kPerQueue);
  std::mutex mutex;
  std::set<pid_t> workers;
  for (int q = 0; q < kQueues; ++q) {
    tq::OperationQueue queue;
    for (int i = 0; i < kPerQueue; ++i) {
      queue.addOperationWithBlock([&] {
        {
          std::lock_guard lock(mutex);
          workers.insert(gettid());
        }
        finished.countDown();
      });
    }
  }
  ASSERT_TRUE(finished.wait());
  std::lock_guard lock(mutex);
  EXPECT_LE(workers.size(), tq::OperationQueue::workerPoolSize());
}

// As many operations as the pool has workers, each in its own queue, wait for an operation of yet
// another queue: the pool must still run that one.
TEST(OperationQueueConcurrencyTest, WorkersHeldByWaitingOperationsDoNotStarveOtherQueues) {
  const auto holders = static_cast<int>(tq::OperationQueue::workerPoolSize());
  Latch allWaiting(holders);
  Latch released;
  Latch holdersDone(holders);
  std::vector<std::unique_ptr<tq::OperationQueue>> queues;
  for (int i = 0; i < holders; ++i) {
    queues.push_back(std::make_unique<tq::OperationQueue>());
    queues.back()->addOperationWithBlock([&] {
      allWaiting.countDown();
      EXPECT_TRUE(released.wait());
      holdersDone.countDown();
    });
  }
  ASSERT_TRUE(allWaiting.wait());
  tq::OperationQueue other;
  other.addOperationWithBlock([&] { released.countDown(); });
  ASSERT_TRUE(holdersDone.wait());
}

// More operations than the pool's ceiling block until the test lets them go, in one queue or in a
// queue each: the pool grows to its ceiling and no further, and once let go every one runs.
TEST(OperationQueueConcurrencyTest, BlockedOperationsGrowThePoolOnlyToItsCeiling) {
  constexpr int kBlocked = 400;
  const std::size_t ceiling = tq::OperationQueue::workerPoolCeiling();
  ASSERT_LT(ceiling, static_cast<std::size_t>(kBlocked));
  const std::size_t before = threadsInProcess();
  for (const int queueCount : {1, kBlocked}) {
    SCOPED_TRACE(queueCount == 1 ? "one queue" : "a queue each");
    Latch atCeiling(static_cast<int>(ceiling));
    Latch letGo;
    Latch ran(kBlocked);
    std::atomic<int> entered{0};
    std::vector<tq::OperationQueue> queues(queueCount);
    for (int i = 0; i < kBlocked; ++i) {
      queues[i % queueCount].addOperationWithBlock([&] {
        ++entered;
        atCeiling.countDown();
        EXPECT_TRUE(letGo.wait());
        ran.countDown();
      });
    }
    ASSERT_TRUE(atCeiling.wait());
    const std::size_t atCeilingThreads = threadsInProcess();
    // The pool's workers and watcher, and a helper thread that a sanitizer's runtime may start.
    EXPECT_LE(atCeilingThreads, before + ceiling + 2);
    // Long enough for the watcher to have added several more workers, had it no ceiling.
    // A worker stays while its operation blocks, so the count then is the most there were.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_LE(threadsInProcess(), atCeilingThreads) << "the pool grew past its ceiling";
    EXPECT_EQ(entered.load(), static_cast<int>(ceiling));
    letGo.countDown();
    ASSERT_TRUE(ran.wait()) << ran.count() << " operations never ran";
  }
}

}  // namespace
