#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSupport.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

using testsupport::kTimeout;

// Clients are made from host and port: httplib's URL form parses with a regex that lives in the
// uninstrumented shared library, which ThreadSanitizer misreads as a race between client threads.

TEST(TestServerConcurrency, HeldAnswersCountEveryOpenConnection) {
  constexpr size_t kClients = 32;
  TestServer server;
  auto gate = std::make_shared<Gate>();
  server.script("GET", "/held", Answer{.body = "released", .holdUntil = gate});
  std::vector<std::string> bodies(kClients);
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  for (size_t i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", server.port());
      if (const auto result = client.Get("/held")) {
        bodies[i] = result->body;
      }
    });
  }
  const bool allHeld = gate->waitForWaiters(kClients, kTimeout);
  EXPECT_TRUE(allHeld);
  EXPECT_GE(server.maxConcurrentRequests(), static_cast<int>(kClients));
  EXPECT_EQ(server.requests("/held").size(), kClients) << "held requests are already logged";
  gate->open();
  for (auto& client : clients) {
    client.join();
  }
  EXPECT_EQ(bodies, std::vector<std::string>(kClients, "released"));
  server.resetConcurrency();
  EXPECT_EQ(server.maxConcurrentRequests(), 0);
}

TEST(TestServerConcurrency, QueuedAnswersGoOneToEachRequest) {
  constexpr int kClients = 24;
  TestServer server;
  std::set<std::string> scripted;
  for (int i = 0; i < kClients; ++i) {
    scripted.insert("answer " + std::to_string(i));
    server.scriptOnce("POST", "/once", Answer{.body = "answer " + std::to_string(i)});
  }
  server.script("POST", "/once", Answer{.status = 409, .body = "queue empty"});
  std::vector<std::string> bodies(kClients);
  std::vector<std::thread> clients;
  clients.reserve(kClients);
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      httplib::Client client("127.0.0.1", server.port());
      if (const auto result = client.Post("/once", "{}", "application/json")) {
        bodies[static_cast<size_t>(i)] = result->body;
      } else {
        bodies[static_cast<size_t>(i)] = httplib::to_string(result.error());
      }
    });
  }
  for (auto& client : clients) {
    client.join();
  }
  EXPECT_EQ(std::set<std::string>(bodies.begin(), bodies.end()), scripted);
  httplib::Client client("127.0.0.1", server.port());
  EXPECT_EQ(client.Post("/once", "{}", "application/json")->status, 409);
}

TEST(TestServerConcurrency, StoppingReleasesHeldAnswersAndIdleConnections) {
  auto server = std::make_unique<TestServer>();
  auto gate = std::make_shared<Gate>();
  server->script("GET", "/held", Answer{.holdUntil = gate});
  // A kept-alive connection that sits idle would otherwise keep a worker, and the destructor,
  // waiting for the keep-alive time-out.
  httplib::Client idle("127.0.0.1", server->port());
  idle.set_keep_alive(true);
  ASSERT_TRUE(idle.Get("/anything"));
  std::thread held([&, port = server->port()] {
    httplib::Client client("127.0.0.1", port);
    client.Get("/held");  // answered or cut off: either way it returns
  });
  ASSERT_TRUE(gate->waitForWaiters(1, kTimeout));
  server.reset();
  held.join();
  EXPECT_TRUE(gate->isOpen());
}

}  // namespace
}  // namespace testserver
