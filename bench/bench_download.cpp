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
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "bench/BenchSupport.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;
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
    outcome_.report(!error && moved_);
  }

  bool wait() { return outcome_.wait(); }

 private:
  fs::path target_;
  bool moved_ = false;
  bench::TaskOutcome outcome_;
};

}  // namespace

int main() {
  const int64_t bytes = bench::envNumber("QUENLAR_BENCH_BYTES", int64_t{1} << 30);
  const int runs =
      static_cast<int>(std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 3)));
  const auto made = bench::makeTemporaryDirectory("quenlar-bench-download-");
  if (!made) {
    std::printf("bench_download: cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& directory = *made;
  tq::Environment::setTemporaryDirectory(directory / "tmp");
  const fs::path target = directory / "download.bin";

  testserver::TestServer server;
  server.script("GET", "/blob", testserver::Answer{.generatedBodySize = bytes});
  const std::string url = server.baseURL() + "/blob";
  const auto request = tq::URLRequest(tq::URL::URLWithString(url));

  auto downloader = std::make_shared<Downloader>(target);
  auto session = tq::URLSession::sessionWithConfiguration(
      tq::URLSessionConfiguration::defaultSessionConfiguration(), downloader);

  const int64_t residentBefore = bench::statusBytes("VmRSS");
  double libraryBest = 1e300;
  double curlBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    server.clearLog();
    libraryBest =
        std::min(libraryBest, bench::seconds([&] {
                   session->downloadTaskWithRequest(request)->resume();
                   ok = downloader->wait() && static_cast<int64_t>(fs::file_size(target)) == bytes;
                 }));
    fs::remove(target);

    const std::string command = "curl -s -o '" + target.string() + "' '" + url + "'";
    curlBest = std::min(curlBest, bench::seconds([&] {
                          ok = ok && bench::runCommand(command) &&
                               static_cast<int64_t>(fs::file_size(target)) == bytes;
                        }));
    fs::remove(target);
  }
  const int64_t growth = bench::statusBytes("VmHWM") - residentBefore;
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
