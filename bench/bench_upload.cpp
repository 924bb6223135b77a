// Upload throughput: a URLSession upload task streaming a file against
// `curl -s -T FILE -X POST URL -o /dev/null`, both sending the same file to the in-process test
// server over loopback. Prints the best of several runs of each, their ratio (library throughput /
// curl throughput; higher is better, the target is at least 0.9) and the peak growth of the
// process's resident memory during the library's runs (the target is below 64 MiB).
//
// QUENLAR_BENCH_BYTES sets the file size (default 1 GiB); QUENLAR_BENCH_RUNS the runs (default 3).
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

class Uploader : public tq::URLSessionDelegate {
 public:
  void didCompleteWithError(tq::URLSession& /*session*/,
                            const std::shared_ptr<tq::URLSessionTask>& task,
                            const std::optional<tq::URLError>& error) override {
    std::lock_guard lock(mutex_);
    ok_ = !error && task->response() && task->response()->statusCode() == 200;
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
      fs::temp_directory_path() / ("quenlar-bench-upload-" + std::to_string(::getpid()));
  fs::create_directories(directory);
  const fs::path file = directory / "upload.bin";
  testserver::writePatternFile(file.string(), bytes);
  const std::string expectedDigest = testserver::patternSha256(bytes);

  testserver::TestServer server;
  server.script("POST", "/upload", testserver::Answer{.body = "{}"});
  const std::string url = server.baseURL() + "/upload";
  tq::URLRequest request(tq::URL::URLWithString(url));
  request.setHTTPMethod("POST");

  auto uploader = std::make_shared<Uploader>();
  auto session = tq::URLSession::sessionWithConfiguration(
      tq::URLSessionConfiguration::defaultSessionConfiguration(), uploader);
  auto receivedWhole = [&] {
    const auto logged = server.requests("/upload");
    return logged.size() == 1 && logged[0].bodyLength == bytes &&
           logged[0].bodySha256 == expectedDigest;
  };

  const int64_t residentBefore = statusBytes("VmRSS");
  double libraryBest = 1e300;
  double curlBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    server.clearLog();
    const auto start = Clock::now();
    session->uploadTaskWithRequest(request, tq::URL::fileURLWithPath(file))->resume();
    ok = uploader->wait() && receivedWhole();
    libraryBest =
        std::min(libraryBest, std::chrono::duration<double>(Clock::now() - start).count());

    server.clearLog();
    const std::string command =
        "curl -s -T '" + file.string() + "' -X POST '" + url + "' -o /dev/null";
    const auto curlStart = Clock::now();
    ok = ok && std::system(command.c_str()) == 0 &&  // NOLINT(concurrency-mt-unsafe, cert-env33-c)
         receivedWhole();
    curlBest = std::min(curlBest, std::chrono::duration<double>(Clock::now() - curlStart).count());
  }
  const int64_t growth = statusBytes("VmHWM") - residentBefore;
  session.reset();
  fs::remove_all(directory);
  if (!ok) {
    std::printf("bench_upload: a transfer failed\n");
    return 1;
  }
  const double mib = static_cast<double>(bytes) / (1 << 20);
  std::printf(
      "upload %.0f MiB: URLSession %.0f MiB/s, curl %.0f MiB/s, ratio %.2f (target >= 0.90), "
      "peak RSS growth %.1f MiB (target < 64)\n",
      mib, mib / libraryBest, mib / curlBest, curlBest / libraryBest,
      static_cast<double>(growth) / (1 << 20));
  return 0;
}
