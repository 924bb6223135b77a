// TestServer: an HTTP server on 127.0.0.1 that stands in for the cloud service in tests, the demo
// and benchmarks. It logs every request, answers from scripts or routes, and otherwise says 404.
//
// How a request is answered, first match wins:
//   1. the next answer queued with scriptOnce() for its method and exact decoded path;
//   2. the answer set with script() for its method and path;
//   3. the most recently registered route whose method matches and whose pattern (a std::regex,
//      as in httplib) matches the whole decoded path;
//   4. for HEAD, steps 1 to 3 for GET (httplib leaves the body out);
//   5. 404 with a small JSON body.
// A script that drops the connection mid-body (Answer::dropAfterBodyBytes) acts as the body
// arrives, so it is matched before the body is read.
//
// Promises:
// - The server listens before the constructor returns and serves at least 64 connections at
//   once; the destructor opens every gate an answer is held on, ends delays, closes the
//   connections (idle keep-alive ones too) and joins every thread before returning.
// - Each request is logged before it is answered (so a held request is already in the log).
//   Request bodies are hashed as they stream in and never held whole beyond kHandlerBodyLimit
//   (RequestLog.h). A route handler finds the body in Request::body when it is at most
//   kLoggedBodyLimit bytes, and through currentBody() up to kHandlerBodyLimit; length and SHA-256
//   of any body are in currentRequest(). Form bodies (application/x-www-form-urlencoded) are
//   parsed into Request::params as httplib does, and Request::matches holds the groups of the
//   route's pattern.
// - A route handler that throws gets a 500 answer (the reason goes to stderr); the server goes on.
// - Every public member is safe to call from any thread while requests are being served; routes
//   and scripts take effect for requests that arrive afterwards. Handlers run on the server's
//   worker threads, several at once, and never under the server's locks.
//
// Endpoint families add their routes from their own files through a free function
// (installAccountRoutes(TestServer&), ...) collected in CloudRoutes.h, and keep the state they
// share in state<T>().
#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/Gate.h"
#include "testserver/Pattern.h"
#include "testserver/RequestLog.h"

namespace testserver {

class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  // Listens on an ephemeral port; throws std::runtime_error when it cannot.
  TestServer();
  // Listens on `port` (0: ephemeral); throws std::runtime_error when it cannot.
  explicit TestServer(int port);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const;
  std::string baseURL() const;  // "http://127.0.0.1:PORT"

  // Registers a route for a method ("GET", "POST", "PUT", "DELETE", "PATCH", "HEAD", "OPTIONS")
  // and a pattern. Registering the same method and pattern again replaces the earlier handler.
  // Throws std::regex_error for a malformed pattern.
  void route(const std::string& method, const std::string& pattern, Handler handler);
  // Every later request to method + path gets `answer`, until replaced or cleared.
  void script(const std::string& method, const std::string& path, Answer answer);
  // Queues an answer for the next request to method + path that has no earlier queued answer.
  void scriptOnce(const std::string& method, const std::string& path, Answer answer);
  // Drops every script and queued answer; routes stay.
  void clearScripts();

  std::vector<LoggedRequest> requests() const;
  std::vector<LoggedRequest> requests(const std::string& path) const;
  void clearLog();
  // Waits until at least n requests are in the log; false on time-out (a failure guard).
  bool waitForRequests(size_t n, std::chrono::milliseconds timeout) const;

  // The most requests being handled at one moment (from arrival until the answer is sent) since
  // the start or the last resetConcurrency().
  int maxConcurrentRequests() const;
  void resetConcurrency();

  // Within a route handler: the log entry of the request being handled (body length and SHA-256
  // for bodies of any size). Null on any other thread.
  static const LoggedRequest* currentRequest();
  // Within a route handler: the whole body of the request being handled when it is at most
  // kHandlerBodyLimit bytes, else empty; valid until the handler returns. Empty on other threads.
  static std::string_view currentBody();

  // The server's one object of type T, made with T() on first use; it lives as long as the
  // server. Endpoint families keep the service's state here; T does its own locking.
  template <class T>
  T& state() {
    return *std::static_pointer_cast<T>(
        stateSlot(typeid(T), [] { return std::static_pointer_cast<void>(std::make_shared<T>()); }));
  }

 private:
  struct Impl;

  std::shared_ptr<void> stateSlot(std::type_index type,
                                  const std::function<std::shared_ptr<void>()>& make);

  std::unique_ptr<Impl> impl_;
};

}  // namespace testserver
