// The logger set changes while calls run, under ThreadSanitizer: no race, no crash, and a logger
// that stays in the set hears every event once.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"
#include "QuenlarCloudAPI/APILogger/TQAPILogger.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

using testserver::Answer;
using testsupport::Latch;

// Counts what it hears.
class CountingLogger : public TQAPILoggerProtocol {
 public:
  void URLSessionTaskDidStart(const std::shared_ptr<tq::URLSessionTask>& /*task*/) override {
    ++starts;
  }
  void URLSessionTaskDidFinish(const std::shared_ptr<tq::URLSessionTask>& /*task*/,
                               const std::shared_ptr<TQAPIQueryResponse>& response,
                               const std::optional<tq::URLError>& /*error*/) override {
    if (response) {
      ++finishes;
    }
  }
  void messageLogger(std::string_view /*message*/) override { ++messages; }
  int32_t logLevel() const override { return level; }
  void setLogLevel(int32_t value) override { level = value; }

  std::atomic<int> starts{0};
  std::atomic<int> finishes{0};
  std::atomic<int> messages{0};
  std::atomic<int32_t> level{0};
};

class TQAPILoggerConcurrencyTest : public testsupport::ServerFixture {};

TEST_F(TQAPILoggerConcurrencyTest, LoggersChangeWhileCallsRun) {
  signIn();
  server().script("GET", "/cloud/1/log", Answer{.body = R"({"name":"n"})"});
  const auto hub = TQAPILogger::create();
  hub->removeAllLogger();
  const auto steady = std::make_shared<CountingLogger>();
  hub->addLogger(steady);
  hub->startLogging();

  constexpr int kCalls = 50;
  std::atomic<bool> stop{false};
  // Churn: loggers come and go, console loggers among them, while events are delivered.
  std::vector<std::thread> churners;
  churners.reserve(3);
  for (int t = 0; t < 3; ++t) {
    churners.emplace_back([&, t] {
      while (!stop.load()) {
        auto transient = std::make_shared<CountingLogger>();
        auto console = std::make_shared<TQAPIConsoleLogger>();
        console->setSink([](std::string_view) {});
        console->setLogLevel(t % 3);
        hub->addLogger(transient);
        hub->addLogger(console);
        (void)hub->loggers();
        hub->removeLogger(transient);
        hub->removeLogger(console);
      }
    });
  }

  Latch done(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    TQAPISDK::sharedInstance()->startSingleCall<TQTestAPI>(
        testParams("/cloud/1/log"),
        [&](const std::shared_ptr<TQAPIQueryResponse>&) { done.countDown(); });
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();
  stop = true;
  for (auto& churner : churners) {
    churner.join();
  }

  EXPECT_EQ(steady->starts.load(), kCalls);
  EXPECT_EQ(steady->finishes.load(), kCalls);
  EXPECT_GE(steady->messages.load(), kCalls) << "one \"API started\" message per call at least";
  hub->stopLogging();
}

}  // namespace
