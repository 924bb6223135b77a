// Routing of session events to live calls and exactly-once delivery under concurrency: two
// sessions whose task identifiers overlap, many calls in flight, and cancels racing completions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/API/AccountInfo_API/TQAccountInfoAPI.h"
#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testsupport::Latch;

class TQAPIRoutingConcurrencyTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }
  std::shared_ptr<TQAPISDK> facade = TQAPISDK::sharedInstance();
};

TEST_F(TQAPIRoutingConcurrencyTest, OverlappingTaskIdentifiersOfTheTwoSessions) {
  auto dataGate = std::make_shared<testserver::Gate>();
  auto downloadGate = std::make_shared<testserver::Gate>();
  server().scriptOnce("GET", "/cloud/1/data",
                      {.body = R"({"from":"data"})", .holdUntil = dataGate});
  server().scriptOnce("GET", "/cloud/1/file",
                      {.body = R"({"from":"download"})", .holdUntil = downloadGate});

  Latch done(2);
  std::shared_ptr<TQAPIQueryResponse> dataResponse;
  std::shared_ptr<TQAPIQueryResponse> downloadResponse;
  const auto dataCall = facade->startSingleCall<TQTestAPI>(
      testParams("/cloud/1/data"), [&](const std::shared_ptr<TQAPIQueryResponse>& r) {
        dataResponse = r;
        done.countDown();
      });
  const auto downloadCall = facade->startSingleCall<TQTestAPI>(
      testParams("/cloud/1/file"),
      [&](const std::shared_ptr<TQAPIQueryResponse>& r) {
        downloadResponse = r;
        done.countDown();
      },
      TQCallStart::download(nullptr));
  const auto unstarted = TQAPI::initWithParameters<TQTestAPI>(testParams("/never"));
  facade->apiArray().add(unstarted);

  ASSERT_EQ(dataCall->apiID(), 1U);
  ASSERT_EQ(downloadCall->apiID(), 1U);
  const auto background = downloadCall->sessionID();
  const struct {
    uint64_t apiID;
    std::optional<std::string> session;
    std::shared_ptr<TQAPI> expected;
    const char* why;
  } lookups[] = {
      {1, std::nullopt, dataCall, "default session by nil"},
      {1, "", dataCall, "default session by empty text"},
      {1, background, downloadCall, "the background session"},
      {1, "another.session", nullptr, "a session nobody uses"},
      {2, std::nullopt, nullptr, "a task nobody owns"},
      {0, std::nullopt, nullptr, "an unstarted call matches no event"},
  };
  for (const auto& l : lookups) {
    EXPECT_EQ(facade->getAPIWithID(l.apiID, l.session), l.expected) << l.why;
  }

  downloadGate->open();
  dataGate->open();
  ASSERT_TRUE(done.wait());
  EXPECT_EQ(dataResponse->responseData(), R"({"from":"data"})");
  EXPECT_FALSE(downloadResponse->responseData().has_value());
  ASSERT_TRUE(downloadResponse->downloadedURL().has_value());
  EXPECT_EQ(std::filesystem::file_size(downloadResponse->downloadedURL()->path()),
            std::string(R"({"from":"download"})").size());
  facade->apiArray().remove(unstarted);
}

TEST_F(TQAPIRoutingConcurrencyTest, ManyCallsFromManyThreadsEachReportOnce) {
  constexpr int kThreads = 4;
  constexpr int kCallsPerThread = 25;
  Latch done(kThreads * kCallsPerThread);
  std::atomic<int> reports{0};
  std::atomic<int> withInfo{0};
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kCallsPerThread; ++i) {
        facade->fetchAccountInfoWithCompletionHandler(
            [&](const std::shared_ptr<TQAccountInfo>& info,
                const std::shared_ptr<TQAPIQueryResponse>&) {
              withInfo += info != nullptr ? 1 : 0;
              ++reports;
              done.countDown();
            });
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();
  EXPECT_EQ(reports, kThreads * kCallsPerThread);
  EXPECT_EQ(withInfo, kThreads * kCallsPerThread);
  EXPECT_EQ(facade->apiArray().count(), 0U);
}

TEST_F(TQAPIRoutingConcurrencyTest, CancelsRacingCompletionsNeverDeliverTwice) {
  constexpr int kCalls = 200;
  std::vector<std::shared_ptr<TQAPI>> calls(kCalls);
  std::vector<std::atomic<int>> callReports(kCalls);
  std::vector<std::atomic<int>> hostReports(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    calls[i] = facade->fetchAccountInfoWithCompletionHandler(
        [&hostReports, i](const std::shared_ptr<TQAccountInfo>&,
                          const std::shared_ptr<TQAPIQueryResponse>&) { ++hostReports[i]; });
  }
  // A second, direct call per slot exercises the call object's own hand-off, without the facade.
  std::vector<std::shared_ptr<TQAPI>> direct(kCalls);
  std::vector<std::shared_ptr<tq::URLSessionTask>> tasks(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    auto params = testParams("/cloud/1/account");
    params->accessToken = "t";
    direct[i] = TQAPI::initWithParameters<TQTestAPI>(params);
    direct[i]->prepareQuery();
    facade->apiArray().add(direct[i]);
    direct[i]->sendAsyncRequestWithCompletionHandler(
        [&callReports, i](const std::shared_ptr<TQAPIQueryResponse>&) { ++callReports[i]; });
    tasks[i] = direct[i]->datatask();
  }
  std::thread canceller([&] {
    std::mt19937 random(7);
    for (int i = 0; i < kCalls; ++i) {
      if (random() % 2 == 0) {
        std::this_thread::yield();
      }
      calls[i]->cancelAPI();
      direct[i]->cancelAPI();
    }
  });
  canceller.join();
  ASSERT_TRUE(testsupport::eventually([&] {
    return std::all_of(tasks.begin(), tasks.end(), [](const auto& task) {
      return task->state() == tq::URLSessionTaskState::Completed;
    });
  }));
  TQURLSession::sharedURLSession()->defaultSession()->delegateQueue().sync([] {});
  drainMainQueue();
  for (int i = 0; i < kCalls; ++i) {
    EXPECT_LE(hostReports[i], 1) << i;
    EXPECT_LE(callReports[i], 1) << i;
    EXPECT_FALSE(calls[i]->completionHandler());
  }
  EXPECT_EQ(facade->apiArray().count(), 0U);
}

}  // namespace
