#include <gtest/gtest.h>

#include <any>
#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

using tq::Notification;
using tq::NotificationCenter;

TEST(NotificationCenterTest, PostCallsTheNamesObserversInOrderOnTheCallersThread) {
  NotificationCenter center;
  std::vector<std::string> calls;
  const auto caller = std::this_thread::get_id();
  center.addObserver("start", [&](const Notification& n) {
    calls.push_back("first " + std::any_cast<std::string>(n.object));
    EXPECT_EQ(std::this_thread::get_id(), caller);
  });
  center.addObserver("complete", [&](const Notification&) { calls.emplace_back("other name"); });
  center.addObserver("start", [&](const Notification& n) {
    calls.push_back("second " + std::any_cast<std::string>(n.userInfo.at("key")));
    EXPECT_EQ(n.name, "start");
  });
  center.post("start", std::string("task"), {{"key", std::string("value")}});
  EXPECT_EQ(calls, (std::vector<std::string>{"first task", "second value"}));
  center.post("nobody listens");
  EXPECT_EQ(calls.size(), 2U);
}

// What observers do to the registrations during a post shows in the next post, not in this one.
TEST(NotificationCenterTest, ChangesDuringAPostApplyToLaterPosts) {
  struct Case {
    const char* reason;
    std::vector<std::string> firstPost;
    std::vector<std::string> secondPost;
  };
  const std::vector<Case> cases = {
      {"A removes itself", {"A", "B", "C"}, {"B", "C"}},
      {"A removes B, which this post still calls", {"A", "B", "C"}, {"A", "C"}},
      {"A adds D, which this post does not call", {"A", "B", "C"}, {"A", "B", "C", "D"}},
  };
  for (std::size_t index = 0; index < cases.size(); ++index) {
    const auto& c = cases[index];
    SCOPED_TRACE(c.reason);
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverToken tokenA;
    NotificationCenter::ObserverToken tokenB;
    bool acted = false;
    auto record = [&calls](const std::string& name) {
      return [&calls, name](const Notification&) { calls.push_back(name); };
    };
    tokenA = center.addObserver("n", [&](const Notification&) {
      calls.emplace_back("A");
      if (std::exchange(acted, true)) {
        return;
      }
      if (index == 0) {
        center.removeObserver(tokenA);
      } else if (index == 1) {
        center.removeObserver(tokenB);
      } else {
        center.addObserver("n", record("D"));
      }
    });
    tokenB = center.addObserver("n", record("B"));
    center.addObserver("n", record("C"));
    center.post("n");
    EXPECT_EQ(calls, c.firstPost);
    calls.clear();
    center.post("n");
    EXPECT_EQ(calls, c.secondPost);
  }
}

// Each step changes the registrations of "n", then asks again. Many other names are observed
// throughout, so that "n" shares its hash bucket with some of them.
TEST(NotificationCenterTest, HasObserversFollowsAddAndRemove) {
  NotificationCenter center;
  const auto ignore = [](const Notification&) {};
  for (int i = 0; i < 300; ++i) {
    center.addObserver("other " + std::to_string(i), ignore);
  }
  NotificationCenter::ObserverToken first;
  NotificationCenter::ObserverToken second;
  const struct {
    const char* reason;
    std::function<void()> change;
    bool observed;
  } steps[] = {
      {"never observed", [] {}, false},
      {"an empty block registers nothing", [&] { center.addObserver("n", nullptr); }, false},
      {"first observer", [&] { first = center.addObserver("n", ignore); }, true},
      {"second observer", [&] { second = center.addObserver("n", ignore); }, true},
      {"one of two removed", [&] { center.removeObserver(first); }, true},
      {"the same token removed again counts once", [&] { center.removeObserver(first); }, true},
      {"an invalid token removes nothing", [&] { center.removeObserver({}); }, true},
      {"the last one removed", [&] { center.removeObserver(second); }, false},
  };
  for (const auto& step : steps) {
    step.change();
    EXPECT_EQ(center.hasObservers("n"), step.observed) << step.reason;
  }
  for (int i = 0; i < 300; ++i) {
    const std::string name = "unobserved " + std::to_string(i);
    EXPECT_FALSE(center.hasObservers(name)) << name << ": a shared bucket is not an observer";
    EXPECT_TRUE(center.hasObservers("other " + std::to_string(i)));
  }
}

TEST(NotificationCenterTest, ThrowingObserverIsLoggedAndTheOthersStillRun) {
  std::vector<std::string> lines;
  auto previous = tq::setSystemLogSink([&](std::string_view line) { lines.emplace_back(line); });
  NotificationCenter center;
  int later = 0;
  center.addObserver("n", [](const Notification&) { throw std::runtime_error("observer broke"); });
  center.addObserver("n", [](const Notification&) { throw 1; });
  center.addObserver("n", [&](const Notification&) { ++later; });
  center.post("n");
  tq::setSystemLogSink(previous);
  EXPECT_EQ(later, 1);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_NE(lines[0].find("observer broke"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("unknown exception"), std::string::npos) << lines[1];
}

}  // namespace
