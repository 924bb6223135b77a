#include "testserver/TestServer.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "testserver/AnswerWriter.h"
#include "testserver/Connections.h"
#include "testserver/RequestReader.h"
#include "testserver/WorkerPool.h"

namespace testserver {
namespace {

// Idle keep-alive connections occupy a worker each, so there are plenty.
constexpr size_t kWorkerThreads = 128;
constexpr auto kForever = std::chrono::hours(24 * 365);

thread_local const ReceivedRequest* currentReceived = nullptr;

struct CurrentRequestScope {
  explicit CurrentRequestScope(const ReceivedRequest* received) { currentReceived = received; }
  ~CurrentRequestScope() { currentReceived = nullptr; }
  CurrentRequestScope(const CurrentRequestScope&) = delete;
  CurrentRequestScope& operator=(const CurrentRequestScope&) = delete;
};

void answerJSON(httplib::Response& response, int status, const nlohmann::json& body) {
  response.status = status;
  response.set_content(body.dump(), "application/json");
}

}  // namespace

struct TestServer::Impl {
  using Key = std::pair<std::string, std::string>;  // method, path

  struct Route {
    std::string method;
    std::string pattern;
    std::regex regex;
    Handler handler;
  };

  // Counts a request as being handled while it lives; streamed answers keep it until sent.
  struct Active {
    explicit Active(Impl& impl) : impl(impl) {
      std::lock_guard lock(impl.statsMutex);
      impl.maxActive = std::max(impl.maxActive, ++impl.active);
    }
    ~Active() {
      std::lock_guard lock(impl.statsMutex);
      --impl.active;
    }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    Impl& impl;
  };

  httplib::Server http;
  int port = 0;
  std::thread listener;
  std::future<void> listening;  // ready once the listener has returned
  RequestLog log;
  JobOrder jobOrder;
  std::atomic<bool> warmingUp{true};
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;  // guards everything below it up to statsMutex
  std::condition_variable stopRequested;
  std::vector<std::shared_ptr<const Route>> routes;
  std::map<Key, Answer> scripts;
  std::map<Key, std::deque<Answer>> queued;
  std::vector<std::shared_ptr<Gate>> heldGates;
  std::map<std::type_index, std::shared_ptr<void>> states;

  mutable std::mutex statsMutex;
  int active = 0;
  int maxActive = 0;

  void start(int requestedPort);
  void warmUp();
  void stop();
  void handle(const httplib::Request& request, httplib::Response& response,
              const httplib::ContentReader* reader);
  std::optional<Answer> takeScript(const std::string& method, const std::string& path);
  // The script for method + path when it drops the connection mid-body (taken when queued).
  std::optional<Answer> takeBodyDrop(const std::string& method, const std::string& path);
  std::shared_ptr<const Route> findRoute(const std::string& method, const std::string& path) const;
  void waitBeforeAnswer(const Answer& answer);
  static void runRoute(const Route& route, const httplib::Request& request,
                       const ReceivedRequest& received, httplib::Response& response);
};

void TestServer::Impl::start(int requestedPort) {
  http.new_task_queue = [this] { return new WorkerPool(kWorkerThreads, jobOrder); };
  http.set_tcp_nodelay(true);
  http.set_keep_alive_max_count(1000);
  int listeningSocket = -1;
  // httplib's default also sets SO_REUSEPORT, which lets a second server share a fixed port
  // silently instead of failing.
  http.set_socket_options([&listeningSocket](socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    listeningSocket = socket;
  });

  auto plain = [this](const httplib::Request& request, httplib::Response& response) {
    handle(request, response, nullptr);
  };
  auto streamed = [this](const httplib::Request& request, httplib::Response& response,
                         const httplib::ContentReader& reader) {
    handle(request, response, &reader);
  };
  // httplib hands bodies of POST, PUT, PATCH and DELETE to the content reader handlers; the plain
  // ones catch those it decides carry no body.
  http.Get(".*", plain);
  http.Options(".*", plain);
  http.Post(".*", streamed).Post(".*", plain);
  http.Put(".*", streamed).Put(".*", plain);
  http.Patch(".*", streamed).Patch(".*", plain);
  http.Delete(".*", streamed).Delete(".*", plain);

  if (requestedPort == 0) {
    port = http.bind_to_any_port("127.0.0.1");
  } else {
    port = http.bind_to_port("127.0.0.1", requestedPort) ? requestedPort : -1;
  }
  if (port <= 0) {
    throw std::runtime_error("test server cannot listen on 127.0.0.1:" +
                             std::to_string(requestedPort));
  }
  // httplib listens with a backlog of 5, so a burst of clients overflows the accept queue and
  // their handshakes stall or fail; listening again only raises the backlog.
  http.set_socket_options([](socket_t) {});  // drop the reference to a local
  if (listeningSocket < 0 || ::listen(listeningSocket, SOMAXCONN) != 0) {
    throw std::runtime_error("test server cannot widen its accept queue");
  }
  std::promise<void> finished;
  listening = finished.get_future();
  listener = std::thread([this, finished = std::move(finished)]() mutable {
    http.listen_after_bind();
    finished.set_value();
  });
  // Connections already queue on the bound socket, but stop() only works once the accept loop
  // runs, and httplib offers no signal for that but is_running().
  while (!http.is_running()) {
    if (listening.wait_for(std::chrono::milliseconds(1)) == std::future_status::ready) {
      listener.join();
      throw std::runtime_error("test server stopped listening at once");
    }
  }
  warmUp();
}

void TestServer::Impl::warmUp() {
  // The requests take httplib's usual roads once (request line, ranges, compression, bodies), on
  // this thread for the client side; see WorkerPool.h. They are answered but not logged.
  {
    httplib::Client client("http://127.0.0.1:" + std::to_string(port));
    client.Get("/", {{"Range", "bytes=0-0"}, {"Accept-Encoding", "gzip, deflate, br"}});
    client.Post("/", "{}", "application/json");
  }
  constexpr size_t kWarmUpJobs = 2;
  jobOrder.waitFinished(kWarmUpJobs, std::chrono::seconds(10));
  warmingUp = false;
}

void TestServer::Impl::stop() {
  std::vector<std::shared_ptr<Gate>> gates;
  {
    std::lock_guard lock(mutex);
    stopping = true;
    gates = heldGates;
  }
  stopRequested.notify_all();
  for (const auto& gate : gates) {
    gate->open();
  }
  http.stop();
  // The listener joins the workers, and a worker on an idle keep-alive connection waits for the
  // keep-alive time-out; shutting the connections down ends that wait at once. Connections
  // accepted just before stop() may appear late, hence the repetition.
  do {
    shutdownConnections(port);
  } while (listening.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready);
  listener.join();
}

std::optional<Answer> TestServer::Impl::takeScript(const std::string& method,
                                                   const std::string& path) {
  std::lock_guard lock(mutex);
  const Key key{method, path};
  if (auto queue = queued.find(key); queue != queued.end() && !queue->second.empty()) {
    Answer answer = std::move(queue->second.front());
    queue->second.pop_front();
    return answer;
  }
  if (auto script = scripts.find(key); script != scripts.end()) {
    return script->second;
  }
  return std::nullopt;
}

std::optional<Answer> TestServer::Impl::takeBodyDrop(const std::string& method,
                                                     const std::string& path) {
  std::lock_guard lock(mutex);
  const Key key{method, path};
  if (auto queue = queued.find(key); queue != queued.end() && !queue->second.empty()) {
    if (queue->second.front().dropAfterBodyBytes < 0) {
      return std::nullopt;
    }
    Answer answer = std::move(queue->second.front());
    queue->second.pop_front();
    return answer;
  }
  if (auto script = scripts.find(key);
      script != scripts.end() && script->second.dropAfterBodyBytes >= 0) {
    return script->second;
  }
  return std::nullopt;
}

std::shared_ptr<const TestServer::Impl::Route> TestServer::Impl::findRoute(
    const std::string& method, const std::string& path) const {
  std::lock_guard lock(mutex);
  const auto found = std::find_if(routes.rbegin(), routes.rend(), [&](const auto& route) {
    return route->method == method && std::regex_match(path, route->regex);
  });
  return found != routes.rend() ? *found : nullptr;
}

void TestServer::Impl::waitBeforeAnswer(const Answer& answer) {
  if (answer.delay.count() > 0) {
    std::unique_lock lock(mutex);
    stopRequested.wait_for(lock, answer.delay, [&] { return stopping.load(); });
  }
  if (!answer.holdUntil) {
    return;
  }
  {
    std::lock_guard lock(mutex);
    if (stopping) {
      return;
    }
    heldGates.push_back(answer.holdUntil);  // stop() opens it
  }
  answer.holdUntil->waitOpen(kForever);
  std::lock_guard lock(mutex);
  heldGates.erase(std::find(heldGates.begin(), heldGates.end(), answer.holdUntil));
}

void TestServer::Impl::runRoute(const Route& route, const httplib::Request& request,
                                const ReceivedRequest& received, httplib::Response& response) {
  httplib::Request routed = request;
  routed.body = received.entry.body;
  if (routed.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded")) {
    httplib::detail::parse_query_text(routed.body, routed.params);
  }
  std::regex_match(routed.path, routed.matches, route.regex);
  const CurrentRequestScope current(&received);
  std::string failure;
  try {
    route.handler(routed, response);
    return;
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "an exception that is not a std::exception";
  }
  std::fprintf(stderr, "testserver: the handler of %s %s threw: %s\n", request.method.c_str(),
               request.path.c_str(), failure.c_str());
  const std::string version = response.version;
  response = httplib::Response();  // drop whatever the handler had set, providers included
  response.version = version;
  answerJSON(response, 500, {{"error", "the test server's handler threw"}, {"reason", failure}});
}

void TestServer::Impl::handle(const httplib::Request& request, httplib::Response& response,
                              const httplib::ContentReader* reader) {
  if (warmingUp) {
    if (reader != nullptr) {
      (*reader)([](const char*, size_t) { return true; });
    }
    answerJSON(response, 200, nlohmann::json::object());
    return;
  }
  auto counted = std::make_shared<const Active>(*this);
  // A connection dropped mid-body is dropped while the body arrives, so its script is taken first.
  const auto drop = reader != nullptr ? takeBodyDrop(request.method, request.path) : std::nullopt;
  const ReceivedRequest received =
      readRequest(request, reader, stopping, drop ? drop->dropAfterBodyBytes : -1);
  log.append(received.entry);
  if (drop) {
    resetConnection(request.local_port, request.remote_addr, request.remote_port);
    response.status = 500;  // never sent: the connection is gone
    return;
  }
  if (!received.entry.bodyComplete) {
    response.status = 400;  // the client is gone or sent a body it could not finish
    return;
  }
  if (stopping) {
    response.status = 503;
    return;
  }
  const std::string& path = request.path;
  for (const std::string& method :
       {request.method, std::string(request.method == "HEAD" ? "GET" : "")}) {
    if (method.empty()) {
      continue;
    }
    if (auto answer = takeScript(method, path)) {
      waitBeforeAnswer(*answer);
      writeAnswer(*answer, request, response, counted, stopping);
      return;
    }
    if (const auto route = findRoute(method, path)) {
      runRoute(*route, request, received, response);
      if (response.content_provider_) {
        // The handler streams its answer: count the request as handled until it is sent.
        response.content_provider_resource_releaser_ =
            [counted,
             chained = std::move(response.content_provider_resource_releaser_)](bool success) {
              if (chained) {
                chained(success);
              }
            };
      }
      return;
    }
  }
  answerJSON(response, 404,
             {{"error", "no route"}, {"method", request.method}, {"path", request.path}});
}

TestServer::TestServer() : TestServer(0) {}

TestServer::TestServer(int port) : impl_(std::make_unique<Impl>()) { impl_->start(port); }

TestServer::~TestServer() { impl_->stop(); }

int TestServer::port() const { return impl_->port; }

std::string TestServer::baseURL() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port);
}

void TestServer::route(const std::string& method, const std::string& pattern, Handler handler) {
  auto route = std::make_shared<const Impl::Route>(
      Impl::Route{method, pattern, std::regex(pattern), std::move(handler)});
  std::shared_ptr<const Impl::Route> replaced;  // dropped after unlocking: handlers may own much
  std::lock_guard lock(impl_->mutex);
  auto& routes = impl_->routes;
  const auto same = std::find_if(routes.begin(), routes.end(), [&](const auto& existing) {
    return existing->method == method && existing->pattern == pattern;
  });
  if (same != routes.end()) {
    replaced = std::move(*same);
    routes.erase(same);
  }
  routes.push_back(std::move(route));
}

void TestServer::script(const std::string& method, const std::string& path, Answer answer) {
  std::lock_guard lock(impl_->mutex);
  impl_->scripts.insert_or_assign({method, path}, std::move(answer));
}

void TestServer::scriptOnce(const std::string& method, const std::string& path, Answer answer) {
  std::lock_guard lock(impl_->mutex);
  impl_->queued[{method, path}].push_back(std::move(answer));
}

void TestServer::clearScripts() {
  std::lock_guard lock(impl_->mutex);
  impl_->scripts.clear();
  impl_->queued.clear();
}

std::vector<LoggedRequest> TestServer::requests() const { return impl_->log.snapshot(); }

std::vector<LoggedRequest> TestServer::requests(const std::string& path) const {
  return impl_->log.snapshot(path);
}

void TestServer::clearLog() { impl_->log.clear(); }

bool TestServer::waitForRequests(size_t n, std::chrono::milliseconds timeout) const {
  return impl_->log.waitForSize(n, timeout);
}

int TestServer::maxConcurrentRequests() const {
  std::lock_guard lock(impl_->statsMutex);
  return impl_->maxActive;
}

void TestServer::resetConcurrency() {
  std::lock_guard lock(impl_->statsMutex);
  impl_->maxActive = impl_->active;
}

const LoggedRequest* TestServer::currentRequest() {
  return currentReceived == nullptr ? nullptr : &currentReceived->entry;
}

std::string_view TestServer::currentBody() {
  return currentReceived == nullptr ? std::string_view() : currentReceived->body();
}

std::shared_ptr<void> TestServer::stateSlot(std::type_index type,
                                            const std::function<std::shared_ptr<void>()>& make) {
  {
    std::lock_guard lock(impl_->mutex);
    if (const auto found = impl_->states.find(type); found != impl_->states.end()) {
      return found->second;
    }
  }
  // Made outside the lock, so that T() may use the server; the first one stored wins.
  auto made = make();
  std::lock_guard lock(impl_->mutex);
  return impl_->states.try_emplace(type, std::move(made)).first->second;
}

}  // namespace testserver
