// Batches under load, run under ThreadSanitizer: exactly one completion however the answers,
// the additions and a cancel interleave.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/APIOperation/BatchTestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testserver::Answer;
using testsupport::eventually;
using testsupport::Latch;

constexpr int kCalls = 100;

class BatchConcurrencyTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    server().script("GET", "/batch/item", Answer{.body = R"({"item":"x"})"});
    server().script("GET", "/batch/pair", Answer{.body = R"({"items":["p","q"]})"});
  }
};

struct Counted {
  Latch done;
  std::atomic<int> completions{0};
  std::atomic<size_t> results{0};
  std::atomic<size_t> responses{0};
};

TQAPIOperationQueueOf<std::string>::CompletionHandler countInto(
    const std::shared_ptr<Counted>& counted) {
  return [counted](const std::vector<std::string>& results,
                   const std::vector<std::shared_ptr<TQAPIQueryResponse>>& responses) {
    counted->results = results.size();
    counted->responses = responses.size();
    ++counted->completions;
    counted->done.countDown();
  };
}

TEST_F(BatchConcurrencyTest, HundredCallsCompleteExactlyOnce) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto counted = std::make_shared<Counted>();
    auto batch = TQAPIOperationQueueOf<std::string>::create();
    batch->setCompletionHandler(countInto(counted));
    std::vector<std::shared_ptr<TQAPI>> calls;
    calls.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
      calls.push_back(preparedBatchCall(i % 2 == 0 ? "/batch/item" : "/batch/pair"));
    }
    batch->addAPIs(calls);
    ASSERT_TRUE(counted->done.wait());
    ASSERT_TRUE(eventually([&] { return batch->operationCount() == 0; }));
    drainMainQueue();
    EXPECT_EQ(counted->completions.load(), 1);
    EXPECT_EQ(counted->responses.load(), static_cast<size_t>(kCalls));
    EXPECT_EQ(counted->results.load(), static_cast<size_t>(kCalls / 2 + kCalls));
    EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  }
}

TEST_F(BatchConcurrencyTest, CallsAddedFromSeveralThreadsWhileEarlierOnesFinish) {
  auto counted = std::make_shared<Counted>();
  auto batch = TQAPIOperationQueueOf<std::string>::create();
  batch->setCompletionHandler(countInto(counted));
  // The first calls answer while the others are still being added.
  batch->addAPI(preparedBatchCall("/batch/item"));
  ASSERT_TRUE(eventually([&] { return batch->responseArray().size() == 1; }));

  constexpr int kThreads = 4;
  std::vector<std::thread> adders;
  adders.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    adders.emplace_back([&] {
      for (int i = 0; i < (kCalls - 1) / kThreads + 1; ++i) {
        batch->addAPI(preparedBatchCall("/batch/item"));
      }
    });
  }
  for (auto& adder : adders) {
    adder.join();
  }
  EXPECT_EQ(counted->completions.load(), 0) << "no completion before the seal";
  batch->seal();
  ASSERT_TRUE(counted->done.wait());
  ASSERT_TRUE(eventually([&] { return batch->operationCount() == 0; }));
  EXPECT_EQ(counted->completions.load(), 1);
  EXPECT_EQ(counted->responses.load(),
            static_cast<size_t>(1 + kThreads * ((kCalls - 1) / kThreads + 1)));
}

TEST_F(BatchConcurrencyTest, CancelRacingWithAnswersCompletesAtMostOnce) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto counted = std::make_shared<Counted>();
    auto batch = TQAPIOperationQueueOf<std::string>::create();
    batch->setCompletionHandler(countInto(counted));
    std::vector<std::shared_ptr<TQAPI>> calls;
    calls.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
      calls.push_back(preparedBatchCall("/batch/item"));
    }
    batch->addAPIs(calls);
    // Cancel once some answers have been gathered, while others are still arriving.
    ASSERT_TRUE(eventually(
        [&] { return batch->responseArray().size() >= static_cast<size_t>(round) * 10; }));
    batch->cancelAllOperations();
    ASSERT_TRUE(eventually([&] { return batch->operationCount() == 0; }))
        << "every operation finishes after a cancel";
    drainMainQueue();
    EXPECT_LE(counted->completions.load(), 1);
    EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  }
}

}  // namespace
