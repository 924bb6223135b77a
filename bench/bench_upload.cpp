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
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "bench/BenchSupport.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;

class Uploader : public tq::URLSessionDelegate {
 public:
  void didCompleteWithError(tq::URLSession& /*session*/,
                            const std::shared_ptr<tq::URLSessionTask>& task,
                            const std::optional<tq::URLError>& error) override {
    outcome_.report(!error && task->response() && task->response()->statusCode() == 200);
  }

  bool wait() { return outcome_.wait(); }

 private:
  bench::TaskOutcome outcome_;
};

}  // namespace

int main() {
  const int64_t bytes = bench::envNumber("QUENLAR_BENCH_BYTES", int64_t{1} << 30);
  const int runs =
      static_cast<int>(std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 3)));
  const auto made = bench::makeTemporaryDirectory("quenlar-bench-upload-");
  if (!made) {
    std::printf("bench_upload: cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& directory = *made;
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

  const int64_t residentBefore = bench::statusBytes("VmRSS");
  double libraryBest = 1e300;
  double curlBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    server.clearLog();
    libraryBest = std::min(
        libraryBest, bench::seconds([&] {
          session->uploadTaskWithRequest(request, tq::URL::fileURLWithPath(file))->resume();
          ok = uploader->wait() && receivedWhole();
        }));

    server.clearLog();
    const std::string command =
        "curl -s -T '" + file.string() + "' -X POST '" + url + "' -o /dev/null";
    curlBest =
        std::min(curlBest,
                 bench::seconds([&] { ok = ok && bench::runCommand(command) && receivedWhole(); }));
  }
  const int64_t growth = bench::statusBytes("VmHWM") - residentBefore;
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
