// Download throughput: a URLSession download task against the `curl` command, both fetching the
// same generated body from the in-process test server over loopback into a file of the same
// temporary directory. Prints the best of several runs of each, their ratio (library throughput /
// curl throughput; higher is better, the target is at least 1) and the peak growth of the
// process's resident memory during the library's runs (the target is below 64 MiB).
//
// QUENLAR_BENCH_BYTES sets the body size (default 1 GiB); QUENLAR_BENCH_RUNS the runs (default 3).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int64_t envNumber(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read before threads
  if (value == nullptr || *value == '\0') {
    return fallback;
  }
  return std::strtoll(value, nullptr, 10);
}

// A field of /proc/self/status in bytes (VmRSS, VmHWM).
int64_t statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stoll(line.substr(field.size() + 1)) * 1024;
    }
  }
  return 0;
}

// Moves each finished download to `target`, as a host keeps its downloads.
class Downloader : public tq::URLSessionDelegate {
 public:
  explicit Downloader(fs::path target) : target_(std::move(target)) {}

  void didFinishDownloadingToURL(tq::URLSession& /*session*/,
                                 const std::shared_ptr<tq::URLSessionDownloadTask>& /*task*/,
                                 const tq::URL& location) override {
    std::error_code error;
    fs::rename(location.path(), target_, error);
    moved_ = !error;
  }

  void didCompleteWithError(tq::URLSession& /*session*/,
                            const std::shared_ptr<tq::URLSessionTask>& /*task*/,
                            const std::optional<tq::URLError>& error) override {
    std::lock_guard lock(mutex_);
    ok_ = !error && moved_;
    done_ = true;
    changed_.notify_all();
  }

  bool wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    done_ = false;
    return ok_;
  }

 private:
  fs::path target_;
  bool moved_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  bool ok_ = false;
};

}  // namespace

int main() {
  const int64_t bytes = envNumber("QUENLAR_BENCH_BYTES", int64_t{1} << 30);
  const int runs = static_cast<int>(std::max<int64_t>(1, envNumber("QUENLAR_BENCH_RUNS", 3)));
  const fs::path directory =
      fs::temp_directory_path() / ("quenlar-bench-download-" + std::to_string(::getpid()));
  fs::create_directories(directory);
  tq::Environment::setTemporaryDirectory(directory / "tmp");
  const fs::path target = directory / "download.bin";

  testserver::TestServer server;
  server.script("GET", "/blob", testserver::Answer{.generatedBodySize = bytes});
  const std::string url = server.baseURL() + "/blob";
  const auto request = tq::URLRequest(tq::URL::URLWithString(url));

  auto downloader = std::make_shared<Downloader>(target);
  auto session = tq::URLSession::sessionWithConfiguration(
      tq::URLSessionConfiguration::defaultSessionConfiguration(), downloader);

  const int64_t residentBefore = statusBytes("VmRSS");
  double libraryBest = 1e300;
  double curlBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    server.clearLog();
    const auto start = Clock::now();
    session->downloadTaskWithRequest(request)->resume();
    ok = downloader->wait() && static_cast<int64_t>(fs::file_size(target)) == bytes;
    libraryBest =
        std::min(libraryBest, std::chrono::duration<double>(Clock::now() - start).count());
    fs::remove(target);

    const std::string command = "curl -s -o '" + target.string() + "' '" + url + "'";
    const auto curlStart = Clock::now();
    ok = ok && std::system(command.c_str()) == 0 &&  // NOLINT(concurrency-mt-unsafe, cert-env33-c)
         static_cast<int64_t>(fs::file_size(target)) == bytes;
    curlBest = std::min(curlBest, std::chrono::duration<double>(Clock::now() - curlStart).count());
    fs::remove(target);
  }
  const int64_t growth = statusBytes("VmHWM") - residentBefore;
  session.reset();
  fs::remove_all(directory);
  if (!ok) {
    std::printf("bench_download: a transfer failed\n");
    return 1;
  }
  const double mib = static_cast<double>(bytes) / (1 << 20);
  std::printf(
      "download %.0f MiB: URLSession %.0f MiB/s, curl %.0f MiB/s, ratio %.2f (target >= 1.00), "
      "peak RSS growth %.1f MiB (target < 64)\n",
      mib, mib / libraryBest, mib / curlBest, curlBest / libraryBest,
      static_cast<double>(growth) / (1 << 20));
  return 0;
}
