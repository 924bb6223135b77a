// The set-up of the upload tests: the pipeline fixture with a signed-in facade, a virtual folder
// "/Documents" on the stand-in service, local files of pattern bytes, and a recorder of what an
// upload reports.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/Pattern.h"
#include "testserver/ResourceTree.h"
#include "testserver/UploadRoutes.h"

namespace uploadtest {

inline constexpr int64_t kWholeFileLimit = 10485760;
inline constexpr int64_t kChunkSize = 5242880;

using Report = std::tuple<TQUploadProgressState, int64_t, int64_t>;

// Makes every write of this process past `bytes` of a file fail (EFBIG), as a full disk would;
// RLIM_INFINITY lifts the limit.
inline void limitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = std::min(bytes, limit.rlim_max);
  setrlimit(RLIMIT_FSIZE, &limit);
}

// What one upload reported: every progress report, every completion, and where they ran.
class UploadRun {
 public:
  struct Heard {
    std::vector<Report> reports;
    int completions = 0;
    std::shared_ptr<TQMetadata> metadata;
    std::shared_ptr<TQAPIQueryResponse> response;
    bool completedOnMainQueue = false;
    bool reportedAfterCompletion = false;
  };

  TQUploadProgressHandler progressHandler() {
    return [this](TQUploadProgressState state, int64_t done, int64_t total) {
      std::lock_guard lock(mutex_);
      heard_.reports.emplace_back(state, done, total);
      heard_.reportedAfterCompletion |= heard_.completions > 0;
    };
  }

  TQMetadataCompletionHandler completionHandler() {
    return [this](const std::shared_ptr<TQMetadata>& metadata,
                  const std::shared_ptr<TQAPIQueryResponse>& response) {
      {
        std::lock_guard lock(mutex_);
        ++heard_.completions;
        heard_.metadata = metadata;
        heard_.response = response;
        heard_.completedOnMainQueue = tq::mainQueue().isCurrent();
      }
      done_.countDown();
    };
  }

  bool wait() { return done_.wait(); }

  Heard heard() const {
    std::lock_guard lock(mutex_);
    return heard_;
  }

 private:
  mutable std::mutex mutex_;
  testsupport::Latch done_;
  Heard heard_;
};

class UploadFixture : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Documents");
    std::filesystem::create_directories(sources());
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }
  testserver::UploadState& uploads() { return server().state<testserver::UploadState>(); }
  static std::shared_ptr<TQAPISDK> facade() { return TQAPISDK::sharedInstance(); }
  std::filesystem::path sources() const { return root() / "sources"; }

  // A local file of `size` pattern bytes.
  std::filesystem::path source(int64_t size, const std::string& name = "upload.bin") {
    const auto path = sources() / name;
    testserver::writePatternFile(path.string(), size);
    return path;
  }

  static std::shared_ptr<TQUploadAPIParams> record(const std::string& name = "upload.bin",
                                                   const std::string& folder = "/Documents") {
    auto params = std::make_shared<TQUploadAPIParams>();
    params->path = folder;
    params->name = name;
    return params;
  }

  // Starts an upload; the recorder hears what it reports.
  static std::shared_ptr<UploadRun> start(const std::shared_ptr<TQUploadAPIParams>& params,
                                          const std::filesystem::path& path) {
    auto run = std::make_shared<UploadRun>();
    facade()->uploadFile(params, path.string(), run->progressHandler(), run->completionHandler());
    return run;
  }

  // Runs an upload to its end, and until nothing of it is left running.
  static std::shared_ptr<UploadRun> upload(const std::shared_ptr<TQUploadAPIParams>& params,
                                           const std::filesystem::path& path) {
    auto run = start(params, path);
    EXPECT_TRUE(run->wait());
    settle();
    return run;
  }

  // Waits until no call is live, then lets the main queue run what was queued before.
  static void settle() {
    EXPECT_TRUE(testsupport::eventually([] { return facade()->apiArray().count() == 0; }));
    drainMainQueue();
  }

  // What Documents holds now, below it, by name in order. An upload may be removing its chunks
  // meanwhile; a walk that loses an entry under its feet is taken again.
  std::vector<std::string> documentsEntries() const {
    std::vector<std::string> names;
    std::error_code error;
    do {
      names.clear();
      if (!std::filesystem::exists(documentsDirectory())) {
        return names;
      }
      std::filesystem::recursive_directory_iterator walk(documentsDirectory(), error);
      for (const std::filesystem::recursive_directory_iterator end; !error && walk != end;
           walk.increment(error)) {
        names.push_back(walk->path().lexically_relative(documentsDirectory()).string());
      }
    } while (error);
    std::sort(names.begin(), names.end());
    return names;
  }

  // The byte POSTs and commits the server received, in the order they arrived.
  std::vector<testserver::LoggedRequest> requestsUnder(const std::string& prefix) {
    std::vector<testserver::LoggedRequest> found;
    for (auto& request : server().requests()) {
      if (request.path.starts_with(prefix)) {
        found.push_back(std::move(request));
      }
    }
    return found;
  }
};

}  // namespace uploadtest
