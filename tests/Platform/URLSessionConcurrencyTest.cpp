#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "tests/Platform/URLSessionRecorder.h"
#include "tests/support/TestSupport.h"
#include "testserver/TestServer.h"

namespace {

using testserver::Answer;
using urlsessiontest::makeSession;
using urlsessiontest::Recorder;
using urlsessiontest::release;
using urlsessiontest::request;

class URLSessionConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override { tq::Environment::setTemporaryDirectory(directory.path() / "tmp"); }

  std::string url(const std::string& path) const { return server.baseURL() + path; }

  testsupport::TemporaryDirectory directory;
  testserver::TestServer server;
};

TEST_F(URLSessionConcurrencyTest, ThirtyConnectionsPerHostCarryAHundredTasks) {
  constexpr int kTasks = 100;
  auto gate = std::make_shared<testserver::Gate>();
  for (int i = 0; i < kTasks; ++i) {
    server.script("GET", "/held/" + std::to_string(i),
                  Answer{.body = "body-" + std::to_string(i), .holdUntil = gate});
  }
  auto recorder = std::make_shared<Recorder>();
  auto session = makeSession(recorder);
  std::vector<std::shared_ptr<tq::URLSessionDataTask>> tasks(kTasks);
  std::vector<std::thread> starters;
  starters.reserve(4);
  for (int t = 0; t < 4; ++t) {
    starters.emplace_back([&, t] {
      for (int i = t; i < kTasks; i += 4) {
        tasks[i] = session->dataTaskWithRequest(request(url("/held/" + std::to_string(i))));
        tasks[i]->resume();
      }
    });
  }
  for (auto& thread : starters) {
    thread.join();
  }
  ASSERT_TRUE(gate->waitForWaiters(30, testsupport::kTimeout));
  EXPECT_EQ(server.maxConcurrentRequests(), 30);
  gate->open();
  ASSERT_TRUE(recorder->waitForCompletions(kTasks));
  EXPECT_EQ(server.maxConcurrentRequests(), 30) << "never more than 30 connections to the host";
  std::set<uint64_t> identifiers;
  for (int i = 0; i < kTasks; ++i) {
    const auto record = recorder->record(tasks[i]->taskIdentifier());
    EXPECT_FALSE(record.error) << i;
    EXPECT_EQ(record.body, "body-" + std::to_string(i));
    identifiers.insert(tasks[i]->taskIdentifier());
  }
  EXPECT_EQ(identifiers.size(), static_cast<size_t>(kTasks));
  EXPECT_EQ(*identifiers.begin(), 1U);
  EXPECT_EQ(*identifiers.rbegin(), static_cast<uint64_t>(kTasks));
  release(session);
}

TEST_F(URLSessionConcurrencyTest, TwoSessionsHandOutTheSameIdentifiersAndKeepTheirEventsApart) {
  constexpr int kTasks = 20;
  for (const char* name : {"first", "second"}) {
    for (int i = 0; i < kTasks; ++i) {
      const std::string path = std::string("/") + name + "/" + std::to_string(i);
      server.script("GET", path, Answer{.body = path});
    }
  }
  auto firstDelegate = std::make_shared<Recorder>();
  auto secondDelegate = std::make_shared<Recorder>();
  auto first = makeSession(firstDelegate);
  auto second = makeSession(secondDelegate);
  std::atomic<bool> listing{true};
  std::thread lister([&] {
    while (listing) {
      testsupport::Latch answered;
      first->getAllTasksWithCompletionHandler([&](auto) { answered.countDown(); });
      EXPECT_TRUE(answered.wait());
    }
  });
  auto run = [&](const std::shared_ptr<tq::URLSession>& session, const std::string& name) {
    std::vector<std::shared_ptr<tq::URLSessionTask>> tasks;
    for (int i = 0; i < kTasks; ++i) {
      tasks.push_back(
          session->dataTaskWithRequest(request(url("/" + name + "/" + std::to_string(i)))));
      tasks.back()->resume();
    }
    return tasks;
  };
  std::vector<std::shared_ptr<tq::URLSessionTask>> firstTasks;
  std::vector<std::shared_ptr<tq::URLSessionTask>> secondTasks;
  std::thread a([&] { firstTasks = run(first, "first"); });
  std::thread b([&] { secondTasks = run(second, "second"); });
  a.join();
  b.join();
  ASSERT_TRUE(firstDelegate->waitForCompletions(kTasks));
  ASSERT_TRUE(secondDelegate->waitForCompletions(kTasks));
  listing = false;
  lister.join();
  for (int i = 0; i < kTasks; ++i) {
    const auto id = static_cast<uint64_t>(i) + 1;
    EXPECT_EQ(firstTasks[i]->taskIdentifier(), id);
    EXPECT_EQ(secondTasks[i]->taskIdentifier(), id);
    EXPECT_EQ(firstDelegate->record(id).body, "/first/" + std::to_string(i));
    EXPECT_EQ(secondDelegate->record(id).body, "/second/" + std::to_string(i));
  }
  release(first);
  release(second);
}

TEST_F(URLSessionConcurrencyTest, CancelRacingWithCompletionCompletesEachTaskOnce) {
  constexpr int kTasks = 200;
  server.script("GET", "/small", Answer{.body = std::string(1000, 's')});
  server.script("GET", "/medium", Answer{.generatedBodySize = 256 << 10});
  auto recorder = std::make_shared<Recorder>();
  auto session = makeSession(recorder);
  std::vector<std::shared_ptr<tq::URLSessionTask>> tasks;
  for (int i = 0; i < kTasks; ++i) {
    const auto r = request(url(i % 2 == 0 ? "/small" : "/medium"));
    if (i % 3 == 0) {
      tasks.push_back(session->downloadTaskWithRequest(r));
    } else {
      tasks.push_back(session->dataTaskWithRequest(r));
    }
  }
  std::thread resumer([&] {
    for (const auto& task : tasks) {
      task->resume();
    }
  });
  std::thread canceller([&] {
    for (size_t i = 0; i < tasks.size(); i += 2) {
      tasks[i]->cancel();
    }
  });
  resumer.join();
  canceller.join();
  ASSERT_TRUE(recorder->waitForCompletions(kTasks));
  for (const auto& task : tasks) {
    task->cancel();  // after completion: nothing
  }
  release(session);
  for (const auto& task : tasks) {
    const auto record = recorder->record(task->taskIdentifier());
    EXPECT_EQ(record.completions, 1);
    EXPECT_EQ(record.eventsAfterCompletion, 0);
    EXPECT_EQ(record.events.back(), "complete");
    if (record.error) {
      EXPECT_EQ(record.error->code(), tq::URLError::Cancelled);
    }
    EXPECT_EQ(task->state(), tq::URLSessionTaskState::Completed);
  }
  EXPECT_TRUE(testsupport::eventually(
      [] { return std::filesystem::is_empty(tq::Environment::temporaryDirectory()); }));
}

TEST_F(URLSessionConcurrencyTest, ABodyWaitsForADispositionAnsweredFromAnotherThread) {
  const int64_t large = 12 << 20;  // above the back-pressure bound, so reading stops meanwhile
  server.script("GET", "/empty", Answer{.status = 204});
  server.script("GET", "/small", Answer{.body = "small"});
  server.script("GET", "/large", Answer{.generatedBodySize = large});
  auto recorder = std::make_shared<Recorder>();
  recorder->keepBodies = false;
  std::mutex mutex;
  std::vector<std::function<void(tq::URLSessionResponseDisposition)>> handlers;
  testsupport::Latch allResponses(3);
  recorder->onResponse = [&](const auto&, auto& handler) {
    {
      std::lock_guard lock(mutex);
      handlers.push_back(handler);
    }
    allResponses.countDown();
    return false;  // answered later, from the test's thread
  };
  std::map<uint64_t, std::string> bodies;
  recorder->onEvent = [&](auto&, const auto& task, const std::string& event, auto& piece) {
    if (event == "data") {
      std::lock_guard lock(mutex);
      bodies[task->taskIdentifier()] += piece;
    }
  };
  auto session = makeSession(recorder);
  auto empty = session->dataTaskWithRequest(request(url("/empty")));
  auto small = session->dataTaskWithRequest(request(url("/small")));
  auto big = session->dataTaskWithRequest(request(url("/large")));
  for (const auto& task : {empty, small, big}) {
    task->resume();
  }
  ASSERT_TRUE(allResponses.wait());
  EXPECT_EQ(recorder->completed(), 0) << "no completion before the disposition";
  EXPECT_EQ(recorder->bodyBytes(), 0) << "no body before the disposition";
  {
    std::lock_guard lock(mutex);
    for (const auto& handler : handlers) {
      handler(tq::URLSessionResponseDisposition::Allow);
      handler(tq::URLSessionResponseDisposition::Cancel);  // a second answer changes nothing
    }
  }
  ASSERT_TRUE(recorder->waitForCompletions(3));
  release(session);
  const std::vector<std::string> withBody = {"response", "data", "complete"};
  EXPECT_EQ(recorder->record(empty->taskIdentifier()).events,
            (std::vector<std::string>{"response", "complete"}));
  EXPECT_EQ(recorder->record(small->taskIdentifier()).events, withBody);
  EXPECT_EQ(recorder->record(big->taskIdentifier()).events, withBody);
  for (const auto& task : {empty, small, big}) {
    EXPECT_FALSE(recorder->record(task->taskIdentifier()).error);
  }
  EXPECT_EQ(bodies[small->taskIdentifier()], "small");
  EXPECT_EQ(tq::sha256(bodies[big->taskIdentifier()]), testserver::patternSha256(large));
}

TEST_F(URLSessionConcurrencyTest, CancelRacingTheGatesThatLateAnswersOpenCompletesEachTaskOnce) {
  // Fewer tasks than connections: a body above the back-pressure bound keeps its connection busy
  // until the gate opens.
  constexpr int kTasks = 28;
  const int64_t medium = 6 << 20;
  server.script("GET", "/small", Answer{.body = std::string(1000, 's')});
  server.script("GET", "/medium", Answer{.generatedBodySize = medium});
  auto recorder = std::make_shared<Recorder>();
  recorder->keepBodies = false;
  std::mutex mutex;
  std::vector<std::function<void(tq::URLSessionResponseDisposition)>> handlers;
  std::map<uint64_t, int64_t> bytes;
  testsupport::Latch responses(kTasks);
  recorder->onResponse = [&](const auto&, auto& handler) {
    {
      std::lock_guard lock(mutex);
      handlers.push_back(handler);
    }
    responses.countDown();
    return false;
  };
  recorder->onEvent = [&](auto&, const auto& task, const std::string& event, auto& piece) {
    if (event == "data") {
      std::lock_guard lock(mutex);
      bytes[task->taskIdentifier()] += static_cast<int64_t>(piece.size());
    }
  };
  auto session = makeSession(recorder);
  std::vector<std::shared_ptr<tq::URLSessionTask>> tasks;
  for (int i = 0; i < kTasks; ++i) {
    tasks.push_back(session->dataTaskWithRequest(request(url(i % 2 == 0 ? "/small" : "/medium"))));
    tasks.back()->resume();
  }
  ASSERT_TRUE(responses.wait());
  std::thread allower([&] {
    std::lock_guard lock(mutex);
    for (const auto& handler : handlers) {
      handler(tq::URLSessionResponseDisposition::Allow);
    }
  });
  std::thread canceller([&] {
    for (size_t i = 0; i < tasks.size(); i += 3) {
      tasks[i]->cancel();
    }
  });
  allower.join();
  canceller.join();
  ASSERT_TRUE(recorder->waitForCompletions(kTasks));
  release(session);
  for (int i = 0; i < kTasks; ++i) {
    const auto& task = tasks[i];
    const auto record = recorder->record(task->taskIdentifier());
    EXPECT_EQ(record.completions, 1) << i;
    EXPECT_EQ(record.eventsAfterCompletion, 0) << i;
    EXPECT_EQ(record.events.front(), "response") << i;
    EXPECT_EQ(record.events.back(), "complete") << i;
    EXPECT_EQ(task->state(), tq::URLSessionTaskState::Completed) << i;
    if (record.error) {
      EXPECT_EQ(record.error->code(), tq::URLError::Cancelled) << i;
    } else {
      std::lock_guard lock(mutex);
      EXPECT_EQ(bytes[task->taskIdentifier()], i % 2 == 0 ? 1000 : medium) << i;
    }
  }
}

TEST_F(URLSessionConcurrencyTest, TheLastReferenceMayGoOnTheDelegateQueue) {
  auto gate = std::make_shared<testserver::Gate>();
  server.script("GET", "/quick", Answer{.body = "q"});
  server.script("GET", "/held", Answer{.holdUntil = gate});
  struct Owner : Recorder {
    std::shared_ptr<tq::URLSession> session;
  };
  auto owner = std::make_shared<Owner>();
  owner->session = makeSession(owner);
  std::weak_ptr<tq::URLSession> watched = owner->session;
  testsupport::Latch released;
  owner->onEvent = [&](auto&, auto&, const std::string& event, auto&) {
    if (event != "complete") {
      return;
    }
    // Dropped here, the session goes away once this event returns, on its own delegate queue.
    owner->session.reset();
    released.countDown();
  };
  auto held = owner->session->downloadTaskWithRequest(request(url("/held")));
  held->resume();
  ASSERT_TRUE(server.waitForRequests(1, testsupport::kTimeout));
  owner->session->dataTaskWithRequest(request(url("/quick")))->resume();
  ASSERT_TRUE(released.wait());
  EXPECT_TRUE(testsupport::eventually([&] { return watched.expired(); }));
  // The destructor is still running on the delegate queue when the reference count reaches zero.
  EXPECT_TRUE(
      testsupport::eventually([&] { return held->state() == tq::URLSessionTaskState::Completed; }));
  gate->open();
  EXPECT_EQ(owner->completed(), 1) << "the held task ends silently with its session";
  held->resume();
  held->cancel();
  EXPECT_TRUE(testsupport::eventually(
      [] { return std::filesystem::is_empty(tq::Environment::temporaryDirectory()); }));
}

TEST_F(URLSessionConcurrencyTest, DestroyingASessionEndsItsTasksWithoutEvents) {
  auto gate = std::make_shared<testserver::Gate>();
  server.script("GET", "/held", Answer{.holdUntil = gate});
  server.script("GET", "/partial",
                Answer{.pieces = {std::string(64 << 10, 'x'), "never"}, .holdUntil = nullptr});
  auto recorder = std::make_shared<Recorder>();
  auto session = makeSession(recorder);
  auto held = session->dataTaskWithRequest(request(url("/held")));
  auto download = session->downloadTaskWithRequest(request(url("/held")));
  auto suspended = session->dataTaskWithRequest(request(url("/held")));
  held->resume();
  download->resume();
  ASSERT_TRUE(gate->waitForWaiters(2, testsupport::kTimeout));
  release(session);
  gate->open();
  for (const auto& task :
       std::vector<std::shared_ptr<tq::URLSessionTask>>{held, download, suspended}) {
    EXPECT_EQ(task->state(), tq::URLSessionTaskState::Completed);
    task->resume();
    task->cancel();
  }
  EXPECT_EQ(recorder->completed(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(tq::Environment::temporaryDirectory()))
      << "the session removed the unfinished download file before it went";
}

}  // namespace
