// File and thumbnail downloads end to end: the facade, the file object's own methods, the
// background session and the stand-in service's file routes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQFile_FileOperation.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/FileRoutes.h"
#include "testserver/ResourceTree.h"

namespace {

namespace fs = std::filesystem;
using filestest::fileRecord;
using filestest::fileText;
using filestest::thumbnailRecord;

// Progress reports as the host received them, and whether any came off the main queue.
template <class Report>
struct Reports {
  std::mutex mutex;
  std::vector<Report> all;
  bool offMainQueue = false;

  void add(Report report) {
    std::lock_guard lock(mutex);
    offMainQueue = offMainQueue || !tq::mainQueue().isCurrent();
    all.push_back(report);
  }
};

class DownloadTest : public testsupport::ServerFixture {
 protected:
  static constexpr int64_t kSize = 300000;  // large enough for several progress reports

  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Odd");
    tree().addFile("/Odd/a b.jpg", {{"size", kSize}});
    // Names that a path cut at "?" or "#" would turn into "/Odd/a" or "/Odd/c".
    for (const char* path : {"/Odd/a", "/Odd/c", "/Odd/a?b.txt", "/Odd/c#d.txt"}) {
      tree().addFile(path);
    }
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }
  std::string content(const std::string& path) {
    return tree().readContent(path, 0, *tree().contentLength(path)).value();
  }
  void knownLength(bool known) {
    server().state<testserver::FileRouteSettings>().setKnownLength(known);
  }
};

TEST_F(DownloadTest, TheFileItsPathNamesLandsInDocuments) {
  const struct {
    const char* path;
    const char* target;
    bool knownLength;
  } cases[] = {
      {"/Odd/a b.jpg", "/cloud/1/files/Odd/a%20b.jpg", true},
      {"/Odd/a b.jpg", "/cloud/1/files/Odd/a%20b.jpg", false},
      {"/Odd/a?b.txt", "/cloud/1/files/Odd/a%3Fb.txt", true},  // a "?" stays in the path
      {"/Odd/c#d.txt", "/cloud/1/files/Odd/c%23d.txt", true},  // so does a "#"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + (c.knownLength ? "" : " without a length"));
    knownLength(c.knownLength);
    server().clearLog();
    auto reports = std::make_shared<Reports<std::pair<int64_t, int64_t>>>();
    std::shared_ptr<TQFilesAPI> call;  // the file goes with the call
    const auto outcome = testsupport::awaitResponse([&](TQAPICompletionHandler handler) {
      call = TQAPISDK::sharedInstance()->downloadFile(
          fileRecord(c.path),
          [reports](int64_t w, int64_t e) {
            reports->add({w, e});
          },
          std::move(handler));
    });
    EXPECT_EQ(outcome.response->statusCode(), 200);
    EXPECT_TRUE(outcome.onMainQueue);
    EXPECT_EQ(outcome.liveCalls, 0U) << "the call leaves the list before the host hears of it";
    ASSERT_EQ(server().requests().size(), 1U);
    EXPECT_EQ(server().requests()[0].target, c.target);
    const auto file = outcome.response->downloadedURL();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(fs::path(file->path()), documentsDirectory() / fs::path(c.path).filename());
    EXPECT_EQ(fileText(file->path()), content(c.path));

    const auto size = static_cast<int64_t>(content(c.path).size());
    ASSERT_FALSE(reports->all.empty());
    EXPECT_FALSE(reports->offMainQueue);
    EXPECT_EQ(reports->all.back(), std::make_pair(size, c.knownLength ? size : int64_t{-1}));
  }
}

TEST_F(DownloadTest, AFileObjectsProgressIsAFractionWithinZeroAndOne) {
  const struct {
    std::optional<int64_t> recordedSize;
    bool knownLength;
    float last;
  } cases[] = {
      {kSize, false, 1.0F},        // the recorded size, needing no announced length
      {std::nullopt, true, 1.0F},  // no recorded size: the announced length
      {0, false, 0.0F},            // neither known: no fraction to give, and no division by 0
      {kSize / 2, true, 1.0F},     // more bytes than recorded stop at 1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recordedSize.value_or(-1));
    knownLength(c.knownLength);
    const auto file = TQFile::initWithDict(*tree().resourceObject("/Odd/a b.jpg"));
    file->setSize(c.recordedSize ? std::optional(TQNumber::integer(*c.recordedSize))
                                 : std::nullopt);
    auto reports = std::make_shared<Reports<float>>();
    testsupport::awaitResponse([&](TQAPICompletionHandler handler) {
      TQFile_FileOperation::downloadFileWithProgressHandler(
          *file, [reports](float fraction) { reports->add(fraction); }, std::move(handler));
    });
    ASSERT_FALSE(reports->all.empty());
    for (const float fraction : reports->all) {
      EXPECT_TRUE(std::isfinite(fraction) && fraction >= 0.0F && fraction <= 1.0F) << fraction;
    }
    EXPECT_EQ(reports->all.back(), c.last);
  }
}

TEST_F(DownloadTest, ACancelledDownloadReportsNothingMoreEvenWhenAlreadyQueued) {
  testsupport::Latch held;
  testsupport::Latch release;
  tq::mainQueue().async([&] {
    held.countDown();
    release.wait();
  });
  ASSERT_TRUE(held.wait());
  auto reports = std::make_shared<Reports<int64_t>>();
  const auto call = TQAPISDK::sharedInstance()->downloadFile(
      fileRecord("/Odd/a b.jpg"), [reports](int64_t written, int64_t) { reports->add(written); },
      [reports](const auto&) { reports->add(-1); });
  // Once the file is in place every report is queued behind the held main queue.
  ASSERT_TRUE(
      testsupport::eventually([&] { return call->apiResponse()->downloadedURL().has_value(); }));
  call->cancelAPI();
  release.countDown();
  drainMainQueue();
  EXPECT_TRUE(reports->all.empty());
}

TEST_F(DownloadTest, AThumbnailIsAskedForByItsSizeOrByWidthAndHeight) {
  const std::string token = tree().resourceObject("/Odd/a b.jpg")->at("contentToken");
  const auto fileObject = TQFile::initWithDict(*tree().resourceObject("/Odd/a b.jpg"));
  using Start = std::function<std::shared_ptr<TQThumbnailAPI>(TQAPICompletionHandler)>;
  const auto record = [](auto params) {
    return [params](const TQAPICompletionHandler& h) {
      return TQAPISDK::sharedInstance()->downloadThumbnail(params, h);
    };
  };
  const struct {
    Start start;
    std::string query;
    std::string dimensions;
    bool knownLength;
  } cases[] = {
      {record(thumbnailRecord(token, "XS", 0, 0)), "size=XS", "XS", true},
      {record(thumbnailRecord(token, "m", 640, 480)), "size=m", "m", false},  // the size wins
      {record(thumbnailRecord(token, "", 320, 240)), "tw=320&th=240", "320x240", true},
      {[&](TQAPICompletionHandler h) {  // a file object asks for 320 by 320, never a size
         return TQFile_FileOperation::downloadThumbnailWithCompletionHandler(*fileObject,
                                                                             std::move(h));
       },
       "tw=320&th=320", "320x320", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    knownLength(c.knownLength);
    server().clearLog();
    std::shared_ptr<TQThumbnailAPI> call;
    const auto outcome = testsupport::awaitResponse(
        [&](TQAPICompletionHandler handler) { call = c.start(std::move(handler)); });
    EXPECT_EQ(outcome.response->statusCode(), 200);
    ASSERT_EQ(server().requests().size(), 1U);
    EXPECT_EQ(server().requests()[0].target, "/cloud/1/thumbnails/" + token + "?" + c.query);
    ASSERT_TRUE(outcome.response->downloadedURL());
    EXPECT_EQ(fs::path(outcome.response->downloadedURL()->path()), documentsDirectory() / token);
    EXPECT_EQ(fileText(outcome.response->downloadedURL()->path()),
              testserver::thumbnailBody(token, c.dimensions));
    // The next row downloads to the same name, which stays claimed until this call is gone.
    const std::weak_ptr<TQThumbnailAPI> gone = std::exchange(call, nullptr);
    EXPECT_TRUE(testsupport::eventually([&] { return gone.expired(); }));
  }
}

}  // namespace
