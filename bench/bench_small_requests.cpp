// Many small requests: 10,000 GET data tasks through one URLSession, 30 at a time, against a plain
// libcurl multi loop making the same requests with 30 transfers in flight, both to the in-process
// test server over loopback. The library keeps 30 tasks in flight by starting the next one from
// each completion, on the delegate queue; a second figure is for all tasks resumed together, with
// the session's 30 connections per host pacing them, as the library's batches start them. Prints
// the best of several runs of each and the ratio of the first figure to the plain loop's in the
// same run (higher is better; the target is at least 0.95, and 1.0 is what to aim for: the
// session's own work per request should hide behind the wire's).
//
// QUENLAR_BENCH_REQUESTS sets the number of requests (default 10000); QUENLAR_BENCH_RUNS the runs
// (default 3).
#include <curl/curl.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "bench/BenchSupport.h"
#include "testserver/TestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kInFlight = 30;

// Runs `total` requests: all resumed at once (the session keeps 30 in flight), or chained, where
// each completion starts the next request until all are sent.
class Driver : public tq::URLSessionDelegate {
 public:
  Driver(tq::URLRequest request, int total) : request_(std::move(request)), total_(total) {}

  void setChained(bool chained) { chained_ = chained; }

  // Called before start() is queued, while no task is running.
  void reset() {
    std::lock_guard lock(mutex_);
    started_ = 0;
    finished_ = 0;
    failed_ = 0;
    bytes_ = 0;
  }

  void start(tq::URLSession& session) {
    const int first = chained_ ? kInFlight : total_;
    for (int i = 0; i < first && i < total_; ++i) {
      ++started_;
      session.dataTaskWithRequest(request_)->resume();
    }
  }

  void didReceiveData(tq::URLSession& /*session*/,
                      const std::shared_ptr<tq::URLSessionDataTask>& /*task*/,
                      const std::string& data) override {
    bytes_ += static_cast<int64_t>(data.size());
  }

  void didCompleteWithError(tq::URLSession& session,
                            const std::shared_ptr<tq::URLSessionTask>& /*task*/,
                            const std::optional<tq::URLError>& error) override {
    if (error) {
      ++failed_;
    }
    if (started_ < total_) {
      ++started_;
      session.dataTaskWithRequest(request_)->resume();
    }
    std::lock_guard lock(mutex_);
    if (++finished_ == total_) {
      changed_.notify_all();
    }
  }

  bool wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return finished_ == total_; });
    return failed_ == 0;
  }

  int64_t bytes() const { return bytes_; }

 private:
  tq::URLRequest request_;
  int total_;
  bool chained_ = false;
  int started_ = 0;  // delegate queue only
  int failed_ = 0;   // delegate queue only
  int64_t bytes_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  int finished_ = 0;
};

size_t discard(char* /*data*/, size_t size, size_t count, void* bytes) {
  *static_cast<int64_t*>(bytes) += static_cast<int64_t>(size * count);
  return size * count;
}

// The same requests with libcurl alone: one multi handle, 30 easy handles reused for every request.
bool plainLoop(const std::string& url, int total, int64_t& bytes) {
  CURLM* multi = curl_multi_init();
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(kInFlight));
  std::vector<CURL*> handles;
  int started = 0;
  int finished = 0;
  bool ok = true;
  for (int i = 0; i < kInFlight && i < total; ++i) {
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bytes);
    handles.push_back(easy);
    curl_multi_add_handle(multi, easy);
    ++started;
  }
  while (finished < total) {
    int running = 0;
    curl_multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE) {
        continue;
      }
      CURL* easy = message->easy_handle;
      ok = ok && message->data.result == CURLE_OK;
      ++finished;
      curl_multi_remove_handle(multi, easy);
      if (started < total) {
        ++started;
        curl_multi_add_handle(multi, easy);
      }
    }
    if (finished < total) {
      curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
  }
  for (CURL* easy : handles) {
    curl_easy_cleanup(easy);
  }
  curl_multi_cleanup(multi);
  return ok;
}

}  // namespace

int main() {
  const int total = static_cast<int>(bench::envNumber("QUENLAR_BENCH_REQUESTS", 10000));
  const int runs =
      static_cast<int>(std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 3)));
  curl_global_init(CURL_GLOBAL_DEFAULT);
  testserver::TestServer server;
  server.script("GET", "/small", testserver::Answer{.body = R"({"status":"ok","items":[1,2,3]})"});
  const std::string url = server.baseURL() + "/small";

  auto driver = std::make_shared<Driver>(tq::URLRequest(tq::URL::URLWithString(url)), total);
  auto configuration = tq::URLSessionConfiguration::defaultSessionConfiguration();
  configuration.setHTTPMaximumConnectionsPerHost(kInFlight);
  auto session = tq::URLSession::sessionWithConfiguration(configuration, driver);

  double libraryBest = 1e300;
  double chainedBest = 1e300;
  double plainBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    for (const bool chained : {false, true}) {
      server.clearLog();
      driver->reset();
      driver->setChained(chained);
      const auto start = Clock::now();
      session->delegateQueue().async([&] { driver->start(*session); });
      ok = ok && driver->wait();
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      double& best = chained ? chainedBest : libraryBest;
      best = std::min(best, seconds);
    }

    server.clearLog();
    int64_t bytes = 0;
    const auto plainStart = Clock::now();
    ok = ok && plainLoop(url, total, bytes);
    plainBest =
        std::min(plainBest, std::chrono::duration<double>(Clock::now() - plainStart).count());
  }
  session.reset();
  if (!ok) {
    std::printf("bench_small_requests: a request failed\n");
    return 1;
  }
  std::printf(
      "small requests x%d, %d in flight: URLSession %.0f req/s (all resumed at once %.0f req/s), "
      "plain libcurl multi %.0f req/s, ratio %.2f (target >= 0.95)\n",
      total, kInFlight, total / chainedBest, total / libraryBest, total / plainBest,
      plainBest / chainedBest);
  return 0;
}
