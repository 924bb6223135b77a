// The facade's single-call road against the bare URL session: 10,000 account-information calls
// through TQAPISDK::fetchAccountInfoWithCompletionHandler (parameter check, call object, list of
// live calls, event routing, JSON parsing, model building, pipeline notifications, delivery on the
// main queue), 100 in flight, against the same 10,000 requests (same URL and headers) made directly
// as data tasks of a tq::URLSession whose delegate only gathers the body, 100 in flight. Both talk
// to the in-process test server over loopback. Prints the best of several runs of each and the
// ratio of throughputs (facade / direct; higher is better, 1.0 means no overhead).
//
// QUENLAR_BENCH_CALLS sets the number of calls (default 10000), QUENLAR_BENCH_IN_FLIGHT the
// calls in flight (default 100), QUENLAR_BENCH_RUNS the runs of each (default 3).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/AccountRoutes.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Counts finished calls and lets the measuring thread wait for the last.
class Countdown {
 public:
  explicit Countdown(uint64_t count) : remaining_(count) {}
  void done() {
    std::lock_guard lock(mutex_);
    if (--remaining_ == 0) {
      finished_.notify_all();
    }
  }
  void wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return remaining_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable finished_;
  uint64_t remaining_;
};

// Starts `total` operations, `inFlight` at a time: each finished one starts the next.
struct Pump {
  uint64_t total;
  std::atomic<uint64_t> started{0};
  std::atomic<uint64_t> failures{0};
  Countdown countdown;
  explicit Pump(uint64_t total) : total(total), countdown(total) {}
  bool claim() { return started.fetch_add(1) < total; }
};

void startFacadeCall(const std::shared_ptr<Pump>& pump) {
  if (!pump->claim()) {
    return;
  }
  TQAPISDK::sharedInstance()->fetchAccountInfoWithCompletionHandler(
      [pump](const std::shared_ptr<TQAccountInfo>& info,
             const std::shared_ptr<TQAPIQueryResponse>&) {
        if (!info || info->ID() != "account-1") {
          ++pump->failures;
        }
        pump->countdown.done();
        startFacadeCall(pump);
      });
}

double runFacade(uint64_t calls, uint64_t inFlight) {
  auto pump = std::make_shared<Pump>(calls);
  const auto begin = Clock::now();
  for (uint64_t i = 0; i < inFlight; ++i) {
    startFacadeCall(pump);
  }
  pump->countdown.wait();
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  if (pump->failures > 0) {
    std::fprintf(stderr, "facade: %llu calls failed\n",
                 static_cast<unsigned long long>(pump->failures.load()));
  }
  return static_cast<double>(calls) / seconds;
}

// The reference: a delegate that gathers each task's body and starts the next task.
class DirectDelegate final : public tq::URLSessionDelegate {
 public:
  DirectDelegate(std::shared_ptr<Pump> pump, tq::URLRequest request)
      : pump_(std::move(pump)), request_(std::move(request)) {}

  void start(tq::URLSession& session) {
    if (pump_->claim()) {
      session.dataTaskWithRequest(request_)->resume();
    }
  }

  void didReceiveData(tq::URLSession& /*session*/,
                      const std::shared_ptr<tq::URLSessionDataTask>& /*task*/,
                      const std::string& data) override {
    bytes_ += data.size();
  }

  void didCompleteWithError(tq::URLSession& session,
                            const std::shared_ptr<tq::URLSessionTask>& task,
                            const std::optional<tq::URLError>& error) override {
    if (error || !task->response() || task->response()->statusCode() != 200) {
      ++pump_->failures;
    }
    pump_->countdown.done();
    start(session);
  }

 private:
  std::shared_ptr<Pump> pump_;
  tq::URLRequest request_;
  uint64_t bytes_ = 0;  // delegate queue only
};

double runDirect(const std::string& baseURL, uint64_t calls, uint64_t inFlight) {
  tq::URLRequest request(tq::URL::URLWithString(baseURL + "/cloud/1/account"));
  request.addValue(std::string("Bearer ") + bench::kAccessToken, "Authorization");
  request.addValue("application/json", "Accept");
  request.addValue(TQAPIUtility::deviceInformationForUserAgent(), "User-Agent");
  auto pump = std::make_shared<Pump>(calls);
  auto delegate = std::make_shared<DirectDelegate>(pump, request);
  auto configuration = tq::URLSessionConfiguration::defaultSessionConfiguration();
  configuration.setHTTPMaximumConnectionsPerHost(maximum_Http_Connections);
  const auto session = tq::URLSession::sessionWithConfiguration(configuration, delegate);
  const auto begin = Clock::now();
  for (uint64_t i = 0; i < inFlight; ++i) {
    delegate->start(*session);
  }
  pump->countdown.wait();
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  if (pump->failures > 0) {
    std::fprintf(stderr, "direct: %llu requests failed\n",
                 static_cast<unsigned long long>(pump->failures.load()));
  }
  return static_cast<double>(calls) / seconds;
}

}  // namespace

int main() {
  const uint64_t calls = bench::envCount("QUENLAR_BENCH_CALLS", 10000);
  const uint64_t inFlight = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_IN_FLIGHT", 100));
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 3));

  testserver::TestServer server;
  testserver::installAccountRoutes(server);

  const fs::path root =
      fs::temp_directory_path() / ("quenlar-bench-facade-" + std::to_string(::getpid()));
  bench::setUpLibrary(root, server.baseURL());

  // One warm-up of each, so that connections and threads exist before timing.
  runDirect(server.baseURL(), inFlight * 2, inFlight);
  runFacade(inFlight * 2, inFlight);

  double bestDirect = 0;
  double bestFacade = 0;
  for (uint64_t run = 0; run < runs; ++run) {
    server.clearLog();  // keeps the request log from growing across runs
    bestDirect = std::max(bestDirect, runDirect(server.baseURL(), calls, inFlight));
    server.clearLog();
    bestFacade = std::max(bestFacade, runFacade(calls, inFlight));
  }
  std::printf("facade: %llu account calls, %llu in flight\n",
              static_cast<unsigned long long>(calls), static_cast<unsigned long long>(inFlight));
  std::printf("  direct URLSession: %10.0f requests/s (best of %llu)\n", bestDirect,
              static_cast<unsigned long long>(runs));
  std::printf("  facade:            %10.0f calls/s (best of %llu)\n", bestFacade,
              static_cast<unsigned long long>(runs));
  std::printf("  ratio facade/direct: %.2f (target >= 0.80)\n", bestFacade / bestDirect);

  // Let the last "API released" messages drain before the process ends.
  tq::mainQueue().sync([] {});
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return 0;
}
