// Batches against the test server: gathering, the combined response, sealing, cancelling, and
// the facade's batch road.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIOperation.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/APIOperation/BatchTestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testserver::Answer;
using testserver::Gate;
using testsupport::eventually;
using testsupport::Latch;

// What a batch's completion handler saw.
struct Completion {
  Latch done;
  std::mutex mutex;
  std::vector<std::string> results;
  std::vector<int> statuses;
  std::atomic<int> count{0};
  bool onMainQueue = false;
  bool sealedWhenCalled = false;
};

std::vector<int> statuses(const std::vector<std::shared_ptr<TQAPIQueryResponse>>& responses) {
  std::vector<int> out;
  out.reserve(responses.size());
  for (const auto& response : responses) {
    out.push_back(response ? response->statusCode() : -1);
  }
  return out;
}

class TQAPIOperationQueueTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  // A batch whose completion records into `completion`.
  static std::shared_ptr<TQAPIOperationQueueOf<std::string>> recordingBatch(
      const std::shared_ptr<Completion>& completion) {
    auto batch = TQAPIOperationQueueOf<std::string>::create();
    const std::weak_ptr<TQAPIOperationQueue> weakBatch = batch;
    batch->setCompletionHandler(
        [completion, weakBatch](std::vector<std::string> results,
                                const std::vector<std::shared_ptr<TQAPIQueryResponse>>& responses) {
          {
            std::lock_guard lock(completion->mutex);
            completion->results = std::move(results);
            completion->statuses = statuses(responses);
            completion->onMainQueue = tq::mainQueue().isCurrent();
            const auto batch = weakBatch.lock();
            completion->sealedWhenCalled = batch && batch->isSealed();
          }
          ++completion->count;
          completion->done.countDown();
        });
    return batch;
  }

  // Waits until every operation of `batch` has finished: the run operations that were cancelled
  // while their calls were under way included.
  static bool allFinished(const std::shared_ptr<TQAPIOperationQueue>& batch) {
    return eventually([&] { return batch->operationCount() == 0; });
  }
};

TEST_F(TQAPIOperationQueueTest, GathersListsObjectsAndNilsWithEveryOutcome) {
  server().script("GET", "/batch/list", Answer{.body = R"({"items":["a1","a2"]})"});
  server().script("GET", "/batch/one", Answer{.body = R"({"item":"b"})"});
  server().script("GET", "/batch/missing", Answer{.status = 404, .body = R"({"item":"c"})"});
  server().script("GET", "/batch/precondition", Answer{.status = 412, .body = R"({"item":"d"})"});

  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->addAPIs({preparedBatchCall("/batch/list"), preparedBatchCall("/batch/one"),
                  preparedBatchCall("/batch/missing"), preparedBatchCall("/batch/precondition")});
  ASSERT_TRUE(completion->done.wait());

  std::lock_guard lock(completion->mutex);
  auto results = completion->results;
  std::sort(results.begin(), results.end());
  EXPECT_EQ(results, (std::vector<std::string>{"a1", "a2", "b"}))
      << "a list adds its elements, an object itself, nil nothing; 412 is no result";
  auto gathered = completion->statuses;
  std::sort(gathered.begin(), gathered.end());
  EXPECT_EQ(gathered, (std::vector<int>{200, 200, 404, 412})) << "one outcome per call";
  EXPECT_FALSE(completion->onMainQueue) << "the batch completes on its own threads";
  EXPECT_TRUE(batch->apiArray().empty());
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U)
      << "gathered calls leave the facade's list";
}

TEST_F(TQAPIOperationQueueTest, ResultsFollowTheOrderInWhichCallsFinish) {
  const auto gate = std::make_shared<Gate>();
  server().script("GET", "/batch/slow", Answer{.body = R"({"item":"slow"})", .holdUntil = gate});
  server().script("GET", "/batch/fast", Answer{.body = R"({"item":"fast"})"});

  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->addAPIs({preparedBatchCall("/batch/slow"), preparedBatchCall("/batch/fast")});
  ASSERT_TRUE(eventually([&] { return batch->responseArray().size() == 1; }));
  gate->open();
  ASSERT_TRUE(completion->done.wait());

  std::lock_guard lock(completion->mutex);
  EXPECT_EQ(completion->results, (std::vector<std::string>{"fast", "slow"}));
}

TEST_F(TQAPIOperationQueueTest, CompletesOnlyOnceSealedEvenWhenEveryCallAnsweredBefore) {
  server().script("GET", "/batch/early", Answer{.body = R"({"item":"early"})"});
  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->addAPI(preparedBatchCall("/batch/early"));
  ASSERT_TRUE(eventually([&] { return batch->responseArray().size() == 1; }))
      << "the only call answers before the creator is done adding";
  batch->addAPI(preparedBatchCall("/batch/early"));
  batch->seal();
  ASSERT_TRUE(completion->done.wait());
  ASSERT_TRUE(allFinished(batch));

  std::lock_guard lock(completion->mutex);
  EXPECT_TRUE(completion->sealedWhenCalled) << "no completion before the last call was added";
  EXPECT_EQ(completion->results, (std::vector<std::string>{"early", "early"}));
  EXPECT_EQ(completion->count.load(), 1);
  try {
    batch->addAPI(preparedBatchCall("/batch/early"));
    ADD_FAILURE() << "a call added after the seal must be refused";
  } catch (const TQException& e) {
    EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
  }
}

TEST_F(TQAPIOperationQueueTest, CancelledBeforeStartSendsNothingAndNeverCompletes) {
  server().script("GET", "/batch/never", Answer{.body = R"({"item":"x"})"});
  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->setMaxConcurrentOperationCount(0);  // nothing starts until the cancel is in
  batch->addAPIs({preparedBatchCall("/batch/never"), preparedBatchCall("/batch/never")});
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 2U);
  batch->cancelAllOperations();
  batch->setMaxConcurrentOperationCount(tq::OperationQueue::kDefaultMaxConcurrentOperationCount);
  ASSERT_TRUE(allFinished(batch));
  drainMainQueue();

  EXPECT_TRUE(server().requests("/batch/never").empty());
  EXPECT_EQ(completion->count.load(), 0);
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
}

TEST_F(TQAPIOperationQueueTest, CancelWhileCallsRunFinishesEveryOperationAndNeverCompletes) {
  const auto gate = std::make_shared<Gate>();
  server().script("GET", "/batch/held", Answer{.body = R"({"item":"x"})", .holdUntil = gate});
  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->addAPIs({preparedBatchCall("/batch/held"), preparedBatchCall("/batch/held")});
  ASSERT_TRUE(server().waitForRequests(2, testsupport::kTimeout));
  batch->cancelAllOperations();
  ASSERT_TRUE(allFinished(batch)) << "run operations cancelled while running still finish";
  gate->open();
  drainMainQueue();
  EXPECT_EQ(completion->count.load(), 0);
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
}

TEST_F(TQAPIOperationQueueTest, CancelWhileAResponseOperationRunsStillNeverCompletes) {
  server().script("GET", "/batch/parsed", Answer{.body = R"({"item":"x"})"});
  const auto hold = std::make_shared<TQResponseHold>();
  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  batch->addAPIs({preparedBatchCall("/batch/parsed", hold)});
  ASSERT_TRUE(hold->entered.wait());
  batch->cancelAllOperations();
  hold->release.countDown();
  ASSERT_TRUE(allFinished(batch));
  drainMainQueue();
  EXPECT_EQ(completion->count.load(), 0)
      << "the gathering finds the batch cancelled instead of completing with partial arrays";
}

TEST_F(TQAPIOperationQueueTest, ACallCancelledFromOutsideCancelsItsBatch) {
  const auto gate = std::make_shared<Gate>();
  server().script("GET", "/batch/held", Answer{.body = R"({"item":"x"})", .holdUntil = gate});
  server().script("GET", "/batch/quick", Answer{.body = R"({"item":"y"})"});
  auto completion = std::make_shared<Completion>();
  auto batch = recordingBatch(completion);
  const auto held = preparedBatchCall("/batch/held");
  batch->addAPIs({held, preparedBatchCall("/batch/quick")});
  ASSERT_TRUE(server().waitForRequests(2, testsupport::kTimeout));
  held->cancelAPI();  // as a logout does to every live call

  ASSERT_TRUE(eventually([&] { return batch->isCancelled(); }))
      << "a call that will never answer cancels the batch it belongs to";
  ASSERT_TRUE(allFinished(batch)) << "and nothing is left waiting for it";
  gate->open();
  drainMainQueue();
  EXPECT_EQ(completion->count.load(), 0);
}

TEST_F(TQAPIOperationQueueTest, RunOperationOnItsOwn) {
  const auto gate = std::make_shared<Gate>();
  server().script("GET", "/batch/held", Answer{.body = "{}", .holdUntil = gate});

  {
    SCOPED_TRACE("cancelled before it starts: finishes without sending its call");
    auto run = std::make_shared<TQAPIOperation>();
    bool called = false;
    ASSERT_TRUE(run->attachAPI(preparedBatchCall("/batch/unsent"),
                               [&](const std::shared_ptr<TQAPIQueryResponse>&) { called = true; }));
    run->cancel();
    run->start();
    EXPECT_TRUE(run->isFinished());
    EXPECT_FALSE(run->isExecuting());
    EXPECT_FALSE(called);
  }
  {
    SCOPED_TRACE("executing: refuses a new call, and a cancel still finishes it");
    auto run = std::make_shared<TQAPIOperation>();
    const auto first = preparedBatchCall("/batch/held");
    ASSERT_TRUE(run->attachAPI(first, nullptr));
    run->start();
    ASSERT_TRUE(run->isExecuting());
    EXPECT_FALSE(run->attachAPI(preparedBatchCall("/batch/held"), nullptr));
    EXPECT_EQ(run->api(), first) << "a refused attach changes nothing";
    ASSERT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
    run->cancel();
    EXPECT_TRUE(run->isFinished());
    EXPECT_TRUE(first->isCancelled());
  }
  EXPECT_TRUE(server().requests("/batch/unsent").empty());
  gate->open();
}

// ---- The facade's batch road ----

struct RoadDelivery {
  Latch done;
  TQAPIBatchOutcome<std::string> outcome;
  bool onMainQueue = false;
  std::atomic<int> count{0};
};

TQAPIBatchCompletionHandler<std::string> recordOutcome(const std::shared_ptr<RoadDelivery>& d) {
  return [d](TQAPIBatchOutcome<std::string> outcome) {
    d->outcome = std::move(outcome);
    d->onMainQueue = tq::mainQueue().isCurrent();
    ++d->count;
    d->done.countDown();
  };
}

TEST_F(TQAPIOperationQueueTest, RoadDeliversTypedResultsAndTheCombinedResponseOnTheMainQueue) {
  server().script("GET", "/road/a", Answer{.body = R"({"items":["x","y"]})"});
  server().script("GET", "/road/b", Answer{.status = 500, .body = "{}"});
  server().script("GET", "/road/cut",
                  Answer{.pieces = {R"({"items":["c1",)", R"("c2"]})"}, .closeAbruptly = true});
  struct Case {
    const char* reason;
    std::vector<std::string> paths;
    std::vector<std::string> results;  // sorted
    int combinedStatus;                // 0: no combined response
    bool resultsIfSuccess;
  };
  const Case cases[] = {
      {"every call succeeds", {"/road/a", "/road/a"}, {"x", "x", "y", "y"}, 200, true},
      {"a failed call makes the combined response and withholds the results",
       {"/road/a", "/road/b"},
       {"x", "y"},
       500,
       false},
      {"a 200 cut short reads as nothing and makes the combined response a failure",
       {"/road/a", "/road/cut"},
       {"x", "y"},
       200,
       false},
      {"no call: complete at once, nothing combined, nil results", {}, {}, 0, false},
  };
  for (const auto& c : cases) {
    std::vector<std::shared_ptr<TQBatchTestAPIParams>> params;
    for (const auto& path : c.paths) {
      params.push_back(batchParams(path));
    }
    auto delivery = std::make_shared<RoadDelivery>();
    TQAPISDK::sharedInstance()->startBatchWithParameters<TQBatchTestAPI>(params,
                                                                         recordOutcome(delivery));
    ASSERT_TRUE(delivery->done.wait()) << c.reason;
    drainMainQueue();
    EXPECT_EQ(delivery->count.load(), 1) << c.reason;
    EXPECT_TRUE(delivery->onMainQueue) << c.reason;
    auto results = delivery->outcome.resultArray;
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, c.results) << c.reason;
    EXPECT_EQ(delivery->outcome.response ? delivery->outcome.response->statusCode() : 0,
              c.combinedStatus)
        << c.reason;
    EXPECT_EQ(delivery->outcome.resultsIfSuccess().has_value(), c.resultsIfSuccess) << c.reason;
    EXPECT_EQ(delivery->outcome.responseArray.size(), c.paths.size()) << c.reason;
  }
}

TEST_F(TQAPIOperationQueueTest, RoadStartsEachCallAsItsStartSays) {
  server().script("GET", "/road/file1", Answer{.body = "first file"});
  server().script("GET", "/road/file2", Answer{.body = "second file"});
  auto delivery = std::make_shared<RoadDelivery>();
  std::atomic<int> progressEvents{0};
  const auto batch = TQAPISDK::sharedInstance()->startBatch<TQBatchTestAPI>(
      {preparedBatchCall("/road/file1"), preparedBatchCall("/road/file2")}, recordOutcome(delivery),
      [&](const TQBatchTestAPI& /*call*/) {
        return TQCallStart::download([&](int64_t, int64_t, int64_t) { ++progressEvents; });
      });
  ASSERT_TRUE(delivery->done.wait());
  ASSERT_EQ(delivery->outcome.responseArray.size(), 2U);
  for (const auto& response : delivery->outcome.responseArray) {
    EXPECT_EQ(response->statusCode(), 200);
    EXPECT_TRUE(response->downloadedURL()) << "the body went to a download file";
    EXPECT_FALSE(response->responseData()) << "and not into memory";
  }
  EXPECT_GE(progressEvents.load(), 2);
}

TEST_F(TQAPIOperationQueueTest, RoadRaisesForABadRecordBeforeAnythingIsSent) {
  TQAPISDK::sharedInstance()->setAuthenticationCredetials(nullptr);  // no token to copy in
  auto delivery = std::make_shared<RoadDelivery>();
  try {
    TQAPISDK::sharedInstance()->startBatchWithParameters<TQBatchTestAPI>(
        std::vector{batchParams("/road/a"), batchParams("/road/a")}, recordOutcome(delivery));
    ADD_FAILURE() << "the missing token must raise";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), "access_token <REQUIRED PARAMETER> is missing.");
  }
  drainMainQueue();
  EXPECT_TRUE(server().requests().empty());
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  EXPECT_EQ(delivery->count.load(), 0);
}

TEST_F(TQAPIOperationQueueTest, RoadHonoursACancelAfterTheCompletionWasQueued) {
  server().script("GET", "/road/a", Answer{.body = R"({"items":["x"]})"});
  Latch mainBlocked;
  Latch releaseMain;
  tq::mainQueue().async([&] {
    mainBlocked.countDown();
    (void)releaseMain.wait();
  });
  ASSERT_TRUE(mainBlocked.wait());
  auto delivery = std::make_shared<RoadDelivery>();
  const auto batch = TQAPISDK::sharedInstance()->startBatch<TQBatchTestAPI>(
      {preparedBatchCall("/road/a")}, recordOutcome(delivery));
  // The response operation hands its result on inside main(), so once every operation has
  // finished, the completion has been queued behind the blocked main queue.
  ASSERT_TRUE(eventually([&] { return batch->operationCount() == 0; }));
  batch->cancelAllOperations();
  releaseMain.countDown();
  drainMainQueue();
  EXPECT_EQ(delivery->count.load(), 0);
}

}  // namespace
