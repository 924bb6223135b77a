// File download through the facade: TQAPISDK::downloadFile of one file (its record, the call
// object, the list of live calls, the background session's download task, the move into
// Documents and the delivery on the main queue) against the `curl` command fetching the same URL
// with the same bearer token into a file of the same directory. Both read the stand-in service's
// file route over loopback. Prints the best of several runs of each, their ratio (facade
// throughput / curl throughput; higher is better, the target is at least 1) and the peak growth of
// the process's resident memory during the facade's runs (the target is below 64 MiB).
//
// QUENLAR_BENCH_BYTES sets the file size (default 1 GiB); QUENLAR_BENCH_RUNS the runs (default 3).
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <system_error>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/CloudRoutes.h"
#include "testserver/ResourceTree.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFilePath = "/Bench/large.bin";

// One facade download; answers the size of the download file, -1 when the download failed. The
// call object, and with it the file, goes away before this returns.
int64_t downloadThroughFacade() {
  auto params = std::make_shared<TQFilesAPIParams>();
  params->path = kFilePath;
  std::promise<int64_t> size;
  TQAPISDK::sharedInstance()->downloadFile(
      params, [](int64_t /*written*/, int64_t /*expected*/) {},
      [&size](const std::shared_ptr<TQAPIQueryResponse>& response) {
        const auto file = response->downloadedURL();
        std::error_code error;
        const auto bytes = file ? fs::file_size(file->path(), error) : 0;
        size.set_value(response->statusCode() == 200 && file && !error ? static_cast<int64_t>(bytes)
                                                                       : -1);
      });
  const int64_t bytes = size.get_future().get();
  tq::mainQueue().sync([] {});  // the delivery has let the call go
  return bytes;
}

}  // namespace

int main() {
  const int64_t bytes = bench::envNumber("QUENLAR_BENCH_BYTES", int64_t{1} << 30);
  const int runs =
      static_cast<int>(std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 3)));
  const auto made = bench::makeTemporaryDirectory("quenlar-bench-download-file-");
  if (!made) {
    std::printf("bench_download_file: cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& root = *made;

  testserver::TestServer server;
  testserver::installCloudRoutes(server);
  auto& tree = server.state<testserver::ResourceTree>();
  tree.addVirtualFolder("Bench");
  tree.addFile(kFilePath, {{"size", bytes}});

  bench::setUpLibrary(root, server.baseURL());

  const fs::path curlTarget = root / "curl.bin";
  const std::string command = std::string("curl -s -H 'Authorization: Bearer ") +
                              bench::kAccessToken + "' -o '" + curlTarget.string() + "' '" +
                              server.baseURL() + "/cloud/1/files" + kFilePath + "'";

  const int64_t residentBefore = bench::statusBytes("VmRSS");
  double facadeBest = 1e300;
  double curlBest = 1e300;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    server.clearLog();
    facadeBest =
        std::min(facadeBest, bench::seconds([&] { ok = downloadThroughFacade() == bytes; }));
    curlBest = std::min(curlBest, bench::seconds([&] {
                          ok = ok && bench::runCommand(command) &&
                               static_cast<int64_t>(fs::file_size(curlTarget)) == bytes;
                        }));
    fs::remove(curlTarget);
  }
  // The peak is the process's own: curl runs in a process of its own.
  const int64_t growth = bench::statusBytes("VmHWM") - residentBefore;
  std::error_code ignored;
  fs::remove_all(root, ignored);
  if (!ok) {
    std::printf("bench_download_file: a transfer failed\n");
    return 1;
  }
  const double mib = static_cast<double>(bytes) / (1 << 20);
  std::printf(
      "downloadFile %.0f MiB: facade %.0f MiB/s, curl %.0f MiB/s, ratio %.2f (target >= 1.00), "
      "peak RSS growth %.1f MiB (target < 64)\n",
      mib, mib / facadeBest, mib / curlBest, curlBest / facadeBest,
      static_cast<double>(growth) / (1 << 20));
  return 0;
}
