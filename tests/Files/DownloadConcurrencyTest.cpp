// Downloads of one file name running side by side: each keeps a file of its own while it lives.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

namespace fs = std::filesystem;

class DownloadConcurrencyTest : public testsupport::ServerFixture {};

TEST_F(DownloadConcurrencyTest, SimultaneousDownloadsOfOneNameNeverShareAFile) {
  constexpr int kDownloads = 8;
  signIn();
  auto& tree = server().state<testserver::ResourceTree>();
  std::vector<std::string> paths;
  for (int i = 0; i < kDownloads; ++i) {
    const std::string folder = tree.addVirtualFolder("Folder" + std::to_string(i));
    paths.push_back(folder + "/same.bin");
    tree.addFile(paths.back(), {{"size", 100000 + i}});
  }

  struct Result {
    std::shared_ptr<TQAPIQueryResponse> response;
    int64_t lastProgress = 0;
  };
  std::vector<Result> results(kDownloads);
  std::vector<std::shared_ptr<TQFilesAPI>> calls;  // kept, so that every file stays
  testsupport::Latch done(kDownloads);
  for (int i = 0; i < kDownloads; ++i) {
    auto params = std::make_shared<TQFilesAPIParams>();
    params->path = paths[static_cast<size_t>(i)];
    Result& result = results[static_cast<size_t>(i)];
    calls.push_back(TQAPISDK::sharedInstance()->downloadFile(
        params, [&result](int64_t written, int64_t /*expected*/) { result.lastProgress = written; },
        [&result, &done](const std::shared_ptr<TQAPIQueryResponse>& response) {
          result.response = response;
          done.countDown();
        }));
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();

  std::set<fs::path> files;
  for (int i = 0; i < kDownloads; ++i) {
    const auto& result = results[static_cast<size_t>(i)];
    const std::string& path = paths[static_cast<size_t>(i)];
    ASSERT_EQ(result.response->statusCode(), 200);
    const auto file = result.response->downloadedURL();
    ASSERT_TRUE(file.has_value());
    files.insert(file->path());
    EXPECT_EQ(filestest::fileText(file->path()), tree.readContent(path, 0, 100000 + i));
    EXPECT_EQ(result.lastProgress, 100000 + i);
  }
  EXPECT_EQ(files.size(), static_cast<size_t>(kDownloads));
}

}  // namespace
