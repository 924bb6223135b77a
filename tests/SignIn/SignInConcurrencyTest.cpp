// The refresh flow and logout under concurrency: many calls answered 401 at once, a cancel while
// a refresh runs, and logout racing token answers.
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPI.h"
#include "tests/SignIn/SignInFixture.h"

namespace signin {
namespace {

using testserver::Answer;
using testserver::OAuthState;

class SignInConcurrency : public SignInFixture {
 protected:
  void signInDirectly() {
    oauth().setPageMode(OAuthState::PageMode::Redirect);
    const auto report = signInThroughPage();
    ASSERT_TRUE(report.tokens && report.tokens->isAuthenticated());
  }
};

TEST_F(SignInConcurrency, ConcurrentUnauthorizedCallsShareOneRefreshAndReportOnce) {
  signInDirectly();
  oauth().expireAccessTokens();
  constexpr int kCalls = 8;
  // Every first answer is a 401 held until all calls are waiting, so that no call starts after
  // another's refresh has already renewed the token.
  const auto gate = std::make_shared<testserver::Gate>();
  for (int i = 0; i < kCalls; ++i) {
    server().scriptOnce(
        "GET", kDataPath,
        Answer{.status = 401, .body = R"({"error":"invalid_token"})", .holdUntil = gate});
  }
  std::vector<OutcomeRecorder> recorders(kCalls);
  std::vector<std::shared_ptr<TQAPI>> calls(kCalls);
  std::vector<std::thread> threads;
  threads.reserve(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    threads.emplace_back([&, i] {
      calls[i] = facade()->startSingleCall<TQBearerTestAPI>(
          std::make_shared<TQBearerTestAPIParams>(), recorders[i].handler());
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  ASSERT_TRUE(gate->waitForWaiters(kCalls, testsupport::kTimeout));
  gate->open();
  for (auto& recorder : recorders) {
    ASSERT_TRUE(recorder.wait());
  }
  drainMainQueue();
  for (const auto& recorder : recorders) {
    EXPECT_EQ(recorder.calls(), 1);
    EXPECT_EQ(recorder.first()->statusCode(), 200);
  }
  // One grant for all: each call either waits for the refresh under way or finds its token
  // already replaced; then one resend each.
  EXPECT_EQ(oauth().refreshCallCount(), 1);
  EXPECT_EQ(static_cast<int>(requestsTo(kDataPath).size()), 2 * kCalls);
  EXPECT_EQ(facade()->apiArray().count(), 0U);
}

TEST_F(SignInConcurrency, ACallCancelledDuringItsRefreshReportsAndSendsNothingMore) {
  signInDirectly();
  oauth().expireAccessTokens();
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce(
      "POST", "/cloud/1/oauth2/token",
      Answer{.body = OAuthState::tokenAnswer("renewed-access", "renewed-refresh").dump(),
             .holdUntil = gate});
  OutcomeRecorder recorder;
  const auto call = facade()->startSingleCall<TQBearerTestAPI>(
      std::make_shared<TQBearerTestAPIParams>(), recorder.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));

  std::thread canceller([&] { call->cancelAPI(); });
  canceller.join();
  gate->open();
  // The refresh itself goes on and renews the tokens; what the call would do next happens on the
  // main queue right after.
  ASSERT_TRUE(testsupport::eventually([&] {
    const auto tokens = facade()->authenticationCredetials();
    return tokens && tokens->accessToken() == "renewed-access";
  }));
  drainMainQueue();
  drainMainQueue();

  EXPECT_EQ(recorder.calls(), 0);
  EXPECT_EQ(requestsTo(kDataPath).size(), 1U) << "no resend";
  EXPECT_FALSE(facade()->apiArray().contains(call.get()));
}

TEST_F(SignInConcurrency, LogoutRacingATokenRefreshAlwaysEndsSignedOut) {
  constexpr int kRounds = 10;
  for (int round = 0; round < kRounds; ++round) {
    signInDirectly();
    std::atomic<bool> go{false};
    std::thread refresher([&] {
      while (!go) {
        std::this_thread::yield();
      }
      try {
        facade()->refreshSessionWithCompletionHandler(nullptr);
      } catch (const TQException&) {
        // Logout came first: nothing to refresh with.
      }
    });
    std::thread logout([&] {
      while (!go) {
        std::this_thread::yield();
      }
      EXPECT_TRUE(facade()->logout());
    });
    go = true;
    refresher.join();
    logout.join();
    // Whatever the order, a refresh answer never signs the user in again after logout.
    ASSERT_TRUE(testsupport::eventually([&] { return facade()->apiArray().count() == 0; }));
    drainMainQueue();
    EXPECT_FALSE(facade()->authenticationCredetials()) << "round " << round;
    EXPECT_FALSE(facade()->retrieveAuthenticationCredetialsFromKeyChain()) << "round " << round;
    EXPECT_FALSE(facade()->isUserLoggedIn()) << "round " << round;
  }
}

}  // namespace
}  // namespace signin
