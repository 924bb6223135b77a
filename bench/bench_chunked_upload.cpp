// Uploads through the facade against shell commands doing the same work, on one loopback server:
//   - a chunked upload of QUENLAR_BENCH_BYTES (default 1 GiB), hashing, splitting, the intent and
//     the commit included, against `sha256sum`, `split -b 5242880` and
//     `curl --parallel --parallel-max 30` posting the same chunks (with the same intent and commit
//     through `curl`); the target is at least 1.0 times the commands' throughput, with the peak
//     resident memory growing by less than 64 MiB;
//   - splitting alone, TQFileSplitter against `split -b 5242880`: at most 1.2 times its time;
//   - a 10 MiB whole-file upload against `sha256sum` and `curl -T` with the same intent: at least
//     0.9 times their throughput.
// The server runs in a child process, so the memory measured is the library's alone. Prints the
// best of QUENLAR_BENCH_RUNS runs (default 3) of each.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/Helper_Class/TQFileSplitter.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/CloudRoutes.h"
#include "testserver/Pattern.h"
#include "testserver/ResourceTree.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t kChunkSize = 5242880;
constexpr int64_t kWholeBytes = int64_t{10} << 20;

// The test server in a child process, serving until the parent lets go of the pipe.
class ServerProcess {
 public:
  // Forks before the parent has any thread. nullopt when the server does not come up.
  static std::optional<ServerProcess> start() {
    int toChild[2];
    int fromChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) {
      return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(toChild[1]);
      ::close(fromChild[0]);
      serve(toChild[0], fromChild[1]);
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    std::string baseURL;
    char c = 0;
    while (::read(fromChild[0], &c, 1) == 1 && c != '\n') {
      baseURL += c;
    }
    ::close(fromChild[0]);
    ServerProcess process(pid, toChild[1], baseURL);
    if (baseURL.empty()) {
      return std::nullopt;
    }
    return process;
  }

  ServerProcess(ServerProcess&& other) noexcept
      : pid_(std::exchange(other.pid_, -1)),
        toChild_(std::exchange(other.toChild_, -1)),
        baseURL_(std::move(other.baseURL_)) {}
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ServerProcess& operator=(ServerProcess&&) = delete;
  ~ServerProcess() {
    if (toChild_ >= 0) {
      ::close(toChild_);
    }
    if (pid_ > 0) {
      ::waitpid(pid_, nullptr, 0);
    }
  }

  const std::string& baseURL() const { return baseURL_; }

 private:
  ServerProcess(pid_t pid, int toChild, std::string baseURL)
      : pid_(pid), toChild_(toChild), baseURL_(std::move(baseURL)) {}

  static void serve(int fromParent, int toParent) {
    ::signal(SIGPIPE, SIG_IGN);
    {
      testserver::TestServer server;
      testserver::installCloudRoutes(server);
      server.state<testserver::ResourceTree>().addVirtualFolder("Documents");
      const std::string line = server.baseURL() + "\n";
      if (::write(toParent, line.data(), line.size()) < 0) {
        return;
      }
      ::close(toParent);
      char c = 0;
      while (::read(fromParent, &c, 1) > 0) {
      }
    }
  }

  pid_t pid_;
  int toChild_;
  std::string baseURL_;
};

// Uploads `file` (which the upload deletes) to /Documents/`name`; true when it was stored.
bool uploadThroughFacade(const fs::path& file, const std::string& name) {
  auto params = std::make_shared<TQUploadAPIParams>();
  params->path = "/Documents";
  params->name = name;
  std::promise<bool> done;
  TQAPISDK::sharedInstance()->uploadFile(
      params, file.string(), nullptr,
      [&done](const std::shared_ptr<TQMetadata>& stored,
              const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
        done.set_value(stored != nullptr);
      });
  return done.get_future().get();
}

// Splits `file`; the chunk files' directory goes to `directory`. False when the split failed.
bool splitThroughLibrary(const fs::path& file, fs::path& directory) {
  auto configuration = std::make_shared<TQFileSplitConfiguration>();
  configuration->filePath = file.string();
  configuration->chunkSize = kChunkSize;
  std::promise<bool> done;
  TQFileSplitter::sharedInstance()->splitFileWithConfiguration(
      configuration, [&](const std::vector<std::shared_ptr<TQFileSplitInfo>>& chunks,
                         const std::optional<tq::URLError>& error) {
        if (!chunks.empty()) {
          directory = fs::path(chunks.front()->chunkFilePath).parent_path();
        }
        done.set_value(!error);
      });
  return done.get_future().get();
}

// The commands' side: the intent, the hash, then the bytes, the way the library sends them.
constexpr const char* kReferenceScript = R"SCRIPT(#!/usr/bin/env bash
set -euo pipefail
mode=$1 base=$2 file=$3 name=$4 size=$5 work=$6
auth="Authorization: Bearer bench-access-token"
sum=$(sha256sum "$file" | cut -d' ' -f1)
chunked=false
[[ $mode == chunked ]] && chunked=true
query="path=/Documents&name=$name&size=$size&checksum=$sum&chunk=$chunked"
answer=$(curl -sf -H "$auth" "$base/cloud/1/fileupload/intent?$query")
upload=$(sed -E 's/.*"uploadurl":"([^"]*)".*/\1/' <<<"$answer")
if [[ $mode == whole ]]; then
  curl -sf -T "$file" -X POST -H "$auth" -H "Content-Type: application/octet-stream" \
    -H "Expect:" -o /dev/null "$upload&checksum=$sum"
  exit
fi
commit=$(sed -E 's/.*"commiturl":"([^"]*)".*/\1/' <<<"$answer")
rm -rf "$work/chunks"
mkdir "$work/chunks"
split -b 5242880 -a 5 -d "$file" "$work/chunks/c"
config="$work/chunks.curl"
: >"$config"
n=1
for chunk in "$work"/chunks/c*; do
  ((n > 1)) && echo next >>"$config"
  printf 'url = "%s&offset=%d"\nupload-file = "%s"\nrequest = POST\nheader = "%s"\n' \
    "$upload" "$n" "$chunk" "$auth" >>"$config"
  printf 'header = "Content-Type: application/octet-stream"\nheader = "Expect:"\n' >>"$config"
  printf 'output = /dev/null\nfail\n' >>"$config"
  n=$((n + 1))
done
curl -s --no-progress-meter --parallel --parallel-max 30 -K "$config"
curl -sf --data-binary "" -H "$auth" -H "Content-Type: application/json" -o /dev/null "$commit"
rm -rf "$work/chunks"
)SCRIPT";

// The best time of `runs`, each after an untimed `prepare`; +infinity once a run fails.
double best(int runs, const std::function<void()>& prepare, const std::function<bool()>& run) {
  double fastest = 1e300;
  for (int i = 0; i < runs; ++i) {
    prepare();
    bool ok = true;
    const double seconds = bench::seconds([&] { ok = run(); });
    if (!ok) {
      return 1e300;
    }
    fastest = std::min(fastest, seconds);
  }
  return fastest;
}

}  // namespace

int main() {
  const int64_t bytes = bench::envNumber("QUENLAR_BENCH_BYTES", int64_t{1} << 30);
  const int runs =
      static_cast<int>(std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 3)));
  auto server = ServerProcess::start();  // first: the fork must come before any thread
  const auto made = bench::makeTemporaryDirectory("quenlar-bench-chunked-upload-");
  if (!server || !made) {
    std::printf("bench_chunked_upload: no server or no temporary directory\n");
    return 1;
  }
  const fs::path& work = *made;
  bench::setUpLibrary(work, server->baseURL());
  const fs::path master = work / "master.bin";
  const fs::path whole = work / "whole.bin";
  const fs::path upload = work / "upload.bin";
  const fs::path script = work / "reference.sh";
  testserver::writePatternFile(master.string(), bytes);
  testserver::writePatternFile(whole.string(), kWholeBytes);
  bench::writeText(script, kReferenceScript);
  int counter = 0;
  const auto next = [&counter] { return "f" + std::to_string(++counter) + ".bin"; };
  // The upload deletes its file, so each run sends a fresh link to the same bytes.
  const auto linkTo = [&](const fs::path& source) {
    return [&, source] {
      std::error_code ignored;
      fs::remove(upload, ignored);
      fs::create_hard_link(source, upload);
    };
  };
  const auto reference = [&](const char* mode, const fs::path& file, int64_t size) {
    return bench::runCommand("bash '" + script.string() + "' " + mode + " '" + server->baseURL() +
                             "' '" + file.string() + "' " + next() + " " + std::to_string(size) +
                             " '" + work.string() + "'");
  };

  const int64_t residentBefore = bench::statusBytes("VmRSS");
  const double chunkedLibrary =
      best(runs, linkTo(master), [&] { return uploadThroughFacade(upload, next()); });
  const int64_t growth = bench::statusBytes("VmHWM") - residentBefore;
  const double chunkedCommands = best(
      runs, [] {}, [&] { return reference("chunked", master, bytes); });

  const fs::path splitOut = work / "split";
  fs::path chunkDirectory;
  const auto removeChunks = [&] {
    if (!chunkDirectory.empty()) {
      fs::remove_all(chunkDirectory);
    }
  };
  const double splitLibrary =
      best(runs, removeChunks, [&] { return splitThroughLibrary(master, chunkDirectory); });
  removeChunks();
  const double splitCommand = best(
      runs,
      [&] {
        fs::remove_all(splitOut);
        fs::create_directories(splitOut);
      },
      [&] {
        return bench::runCommand("split -b 5242880 -a 5 -d '" + master.string() + "' '" +
                                 (splitOut / "c").string() + "'");
      });

  const int wholeRuns = runs * 5;
  const double wholeLibrary =
      best(wholeRuns, linkTo(whole), [&] { return uploadThroughFacade(upload, next()); });
  const double wholeCommands = best(
      wholeRuns, [] {}, [&] { return reference("whole", whole, kWholeBytes); });

  std::error_code ignored;
  fs::remove_all(work, ignored);
  if (chunkedLibrary > 1e299 || chunkedCommands > 1e299 || splitLibrary > 1e299 ||
      splitCommand > 1e299 || wholeLibrary > 1e299 || wholeCommands > 1e299) {
    std::printf("bench_chunked_upload: a run failed\n");
    return 1;
  }
  const double mib = static_cast<double>(bytes) / (1 << 20);
  const double wholeMib = static_cast<double>(kWholeBytes) / (1 << 20);
  std::printf(
      "chunked upload %.0f MiB: library %.0f MiB/s, commands %.0f MiB/s, ratio %.2f "
      "(target >= 1.00), peak RSS growth %.1f MiB (target < 64)\n",
      mib, mib / chunkedLibrary, mib / chunkedCommands, chunkedCommands / chunkedLibrary,
      static_cast<double>(growth) / (1 << 20));
  std::printf("split %.0f MiB: library %.3f s, split %.3f s, time ratio %.2f (target <= 1.20)\n",
              mib, splitLibrary, splitCommand, splitLibrary / splitCommand);
  std::printf(
      "whole-file upload %.0f MiB: library %.0f MiB/s, commands %.0f MiB/s, ratio %.2f "
      "(target >= 0.90)\n",
      wholeMib, wholeMib / wholeLibrary, wholeMib / wholeCommands, wholeCommands / wholeLibrary);
  return 0;
}
