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
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQFile_FileOperation.h"
#include "tests/Files/FilesTestSupport.h"
#include "tests/support/ServerFixture.h"
#include "testserver/FileRoutes.h"
#include "testserver/ResourceTree.h"

namespace {

namespace fs = std::filesystem;
using filestest::fileText;

// Progress reports as the host received them.
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
using ByteReports = Reports<std::pair<int64_t, int64_t>>;

class DownloadTest : public testsupport::ServerFixture {
 protected:
  static constexpr int64_t kLargeSize = 300000;  // large enough for several progress reports

  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    tree().addVirtualFolder("Photos");
    tree().addVirtualFolder("Odd");
    tree().addFile("/Photos/a b.jpg", {{"size", kLargeSize}});
    tree().addFile("/Photos/same.txt");
    // Names that a path cut at "?" or "#" would turn into "/Odd/a" or "/Odd/c".
    tree().addFile("/Odd/a");
    tree().addFile("/Odd/c");
    tree().addFile("/Odd/a?b.txt");
    tree().addFile("/Odd/c#d.txt");
    tree().addFile("/Odd/same.txt");
  }

  testserver::ResourceTree& tree() { return server().state<testserver::ResourceTree>(); }

  std::string content(const std::string& path) {
    return tree().readContent(path, 0, tree().contentLength(path).value_or(0)).value_or("");
  }

  std::shared_ptr<TQFile> fileObject(const std::string& path) {
    return TQFile::initWithDict(tree().resourceObject(path).value());
  }

  static std::shared_ptr<TQFilesAPIParams> fileRecord(const std::string& path) {
    auto params = std::make_shared<TQFilesAPIParams>();
    params->path = path;
    return params;
  }

  // Downloads `path`; the call is kept in `call` when asked for, so its file outlives the handler.
  static filestest::Outcome<void> download(const std::string& path,
                                           std::shared_ptr<ByteReports> reports = nullptr,
                                           std::shared_ptr<TQFilesAPI>* call = nullptr) {
    return filestest::awaitResponse([&](TQAPICompletionHandler handler) {
      TQDownloadProgressHandler progress;
      if (reports) {
        progress = [reports](int64_t written, int64_t expected) {
          reports->add({written, expected});
        };
      }
      auto started =
          TQAPISDK::sharedInstance()->downloadFile(fileRecord(path), progress, std::move(handler));
      if (call != nullptr) {
        *call = std::move(started);
      }
    });
  }
};

TEST_F(DownloadTest, TheFileItsPathNamesLandsInDocuments) {
  const struct {
    const char* path;
    bool knownLength;
    const char* target;
    const char* why;
  } cases[] = {
      {"/Photos/a b.jpg", true, "/cloud/1/files/Photos/a%20b.jpg", "a blank, with a length"},
      {"/Photos/a b.jpg", false, "/cloud/1/files/Photos/a%20b.jpg", "without a known length"},
      {"/Odd/a?b.txt", true, "/cloud/1/files/Odd/a%3Fb.txt", "a ? stays in the path"},
      {"/Odd/c#d.txt", true, "/cloud/1/files/Odd/c%23d.txt", "a # stays in the path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().state<testserver::FileRouteSettings>().setKnownLength(c.knownLength);
    server().clearLog();
    auto reports = std::make_shared<ByteReports>();
    std::shared_ptr<TQFilesAPI> call;
    const auto outcome = download(c.path, reports, &call);

    EXPECT_EQ(outcome.response->statusCode(), 200);
    EXPECT_TRUE(outcome.onMainQueue);
    EXPECT_EQ(outcome.liveCalls, 0U) << "the call leaves the list before the host hears of it";
    const auto file = outcome.response->downloadedURL();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(fs::path(file->path()), documentsDirectory() / fs::path(c.path).filename());
    EXPECT_EQ(fileText(file->path()), content(c.path));

    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");

    const int64_t size = static_cast<int64_t>(content(c.path).size());
    ASSERT_FALSE(reports->all.empty());
    EXPECT_FALSE(reports->offMainQueue);
    EXPECT_EQ(reports->all.back(), std::make_pair(size, c.knownLength ? size : int64_t{-1}));
    for (size_t i = 1; i < reports->all.size(); ++i) {
      EXPECT_LT(reports->all[i - 1].first, reports->all[i].first) << "bytes so far only grow";
    }
    call.reset();
  }
}

TEST_F(DownloadTest, AnErrorAnswerReachesTheHandlerWithItsBodyAsTheFile) {
  std::shared_ptr<TQFilesAPI> call;  // the file goes with the call
  const auto outcome = download("/Photos/missing.jpg", nullptr, &call);
  EXPECT_EQ(outcome.response->statusCode(), 404);
  const auto file = outcome.response->downloadedURL();
  ASSERT_TRUE(file.has_value());
  EXPECT_NE(fileText(file->path()).find("no such file"), std::string::npos);
}

TEST_F(DownloadTest, AFileObjectReportsItsProgressAsAFractionWithinZeroAndOne) {
  const struct {
    std::optional<int64_t> recordedSize;
    bool knownLength;
    float last;
    const char* why;
  } cases[] = {
      {kLargeSize, true, 1.0F, "the recorded size reached"},
      {kLargeSize, false, 1.0F, "the recorded size serves without a length"},
      {0, true, 1.0F, "no recorded size: the announced length"},
      {std::nullopt, true, 1.0F, "a missing size: the announced length"},
      {0, false, 0.0F, "neither known: no fraction to give"},
      {kLargeSize / 2, true, 1.0F, "more bytes than recorded stop at 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().state<testserver::FileRouteSettings>().setKnownLength(c.knownLength);
    const auto file = fileObject("/Photos/a b.jpg");
    file->setSize(c.recordedSize ? std::optional(TQNumber::integer(*c.recordedSize))
                                 : std::nullopt);
    auto reports = std::make_shared<Reports<float>>();
    const auto outcome = filestest::awaitResponse([&](TQAPICompletionHandler handler) {
      TQFile_FileOperation::downloadFileWithProgressHandler(
          *file, [reports](float fraction) { reports->add(fraction); }, std::move(handler));
    });
    EXPECT_EQ(outcome.response->statusCode(), 200);
    ASSERT_FALSE(reports->all.empty());
    for (const float fraction : reports->all) {
      EXPECT_TRUE(std::isfinite(fraction) && fraction >= 0.0F && fraction <= 1.0F) << fraction;
    }
    EXPECT_EQ(reports->all.back(), c.last);
  }
}

TEST_F(DownloadTest, TwoLiveDownloadsOfOneNameKeepTheirOwnFiles) {
  std::shared_ptr<TQFilesAPI> first;
  std::shared_ptr<TQFilesAPI> second;
  const auto firstFile = download("/Photos/same.txt", nullptr, &first).response->downloadedURL();
  const auto secondFile = download("/Odd/same.txt", nullptr, &second).response->downloadedURL();
  ASSERT_TRUE(firstFile && secondFile);
  EXPECT_EQ(fs::path(firstFile->path()), documentsDirectory() / "same.txt");
  EXPECT_EQ(fs::path(secondFile->path()), documentsDirectory() / "same (2).txt");
  EXPECT_EQ(fileText(firstFile->path()), content("/Photos/same.txt"));
  EXPECT_EQ(fileText(secondFile->path()), content("/Odd/same.txt"));

  first.reset();
  EXPECT_TRUE(testsupport::eventually([&] { return !fs::exists(firstFile->path()); }));
  EXPECT_EQ(fileText(secondFile->path()), content("/Odd/same.txt"));

  std::shared_ptr<TQFilesAPI> third;
  const auto thirdFile = download("/Photos/same.txt", nullptr, &third).response->downloadedURL();
  ASSERT_TRUE(thirdFile);
  EXPECT_EQ(fs::path(thirdFile->path()), documentsDirectory() / "same.txt") << "free again";
  EXPECT_EQ(fileText(secondFile->path()), content("/Odd/same.txt"));
}

TEST_F(DownloadTest, ACancelledDownloadReportsNothingMoreEvenWhenAlreadyQueued) {
  testsupport::Latch mainQueueHeld;
  testsupport::Latch release;
  tq::mainQueue().async([&] {
    mainQueueHeld.countDown();
    release.wait();
  });
  ASSERT_TRUE(mainQueueHeld.wait());
  auto reports = std::make_shared<ByteReports>();
  bool completed = false;
  const auto call = TQAPISDK::sharedInstance()->downloadFile(
      fileRecord("/Photos/a b.jpg"),
      [reports](int64_t written, int64_t expected) {
        reports->add({written, expected});
      },
      [&completed](const std::shared_ptr<TQAPIQueryResponse>& /*response*/) { completed = true; });
  // Once the file is in place every progress report is queued behind the held main queue.
  ASSERT_TRUE(
      testsupport::eventually([&] { return call->apiResponse()->downloadedURL().has_value(); }));
  call->cancelAPI();
  release.countDown();
  drainMainQueue();
  EXPECT_TRUE(reports->all.empty());
  EXPECT_FALSE(completed);
}

TEST_F(DownloadTest, ThumbnailRequestsNameASizeOrAWidthAndHeight) {
  const std::string token = tree().resourceObject("/Photos/a b.jpg")->at("contentToken");
  const struct {
    std::string size;
    int32_t tw;
    int32_t th;
    bool knownLength;
    std::string query;
    std::string dimensions;
    const char* why;
  } cases[] = {
      {"XS", 0, 0, true, "size=XS", "XS", "a named size, sent as written"},
      {"m", 640, 480, true, "size=m", "m", "a size wins over width and height"},
      {"", 320, 240, true, "tw=320&th=240", "320x240", "width and height"},
      {"s", 0, 0, false, "size=s", "s", "without a known length"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().state<testserver::FileRouteSettings>().setKnownLength(c.knownLength);
    server().clearLog();
    auto params = std::make_shared<TQThumbnailAPIParams>();
    params->contentToken = token;
    params->size = c.size;
    params->tw = c.tw;
    params->th = c.th;
    std::shared_ptr<TQThumbnailAPI> call;
    const auto outcome = filestest::awaitResponse([&](TQAPICompletionHandler handler) {
      call = TQAPISDK::sharedInstance()->downloadThumbnail(params, std::move(handler));
    });
    EXPECT_EQ(outcome.response->statusCode(), 200);
    EXPECT_TRUE(outcome.onMainQueue);
    ASSERT_EQ(server().requests().size(), 1U);
    EXPECT_EQ(server().requests()[0].target, "/cloud/1/thumbnails/" + token + "?" + c.query);
    const auto file = outcome.response->downloadedURL();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(fs::path(file->path()), documentsDirectory() / token);
    EXPECT_EQ(fileText(file->path()), testserver::thumbnailBody(token, c.dimensions));
  }

  server().clearLog();
  const auto outcome = filestest::awaitResponse([&](TQAPICompletionHandler handler) {
    TQFile_FileOperation::downloadThumbnailWithCompletionHandler(*fileObject("/Photos/a b.jpg"),
                                                                 std::move(handler));
  });
  EXPECT_EQ(outcome.response->statusCode(), 200);
  ASSERT_EQ(server().requests().size(), 1U);
  EXPECT_EQ(server().requests()[0].target, "/cloud/1/thumbnails/" + token + "?tw=320&th=320")
      << "a file object asks for 320 by 320, never a named size";
}

TEST_F(DownloadTest, BadRecordsRaiseFromTheFacadeWithNothingSent) {
  writeMainBundleStrings({{"content-token missing", "Jeton manquant"}});
  const auto thumbnail = [](std::string token, std::string size, int32_t tw, int32_t th) {
    auto params = std::make_shared<TQThumbnailAPIParams>();
    params->contentToken = std::move(token);
    params->size = std::move(size);
    params->tw = tw;
    params->th = th;
    return [params] { TQAPISDK::sharedInstance()->downloadThumbnail(params, nullptr); };
  };
  const struct {
    std::function<void()> start;
    std::string key;
    const char* why;
  } cases[] = {
      {[] { TQAPISDK::sharedInstance()->downloadFile(fileRecord(""), nullptr, nullptr); }, "path",
       "a file record without a path"},
      {thumbnail("", "s", 0, 0), "Jeton manquant", "no content token; the message translated"},
      {thumbnail("t", "", 320, 0), "(th and tw) or size missing", "a width without a height"},
      {thumbnail("t", "", 0, 0), "(th and tw) or size missing", "nothing asked for"},
      {thumbnail("t", "l", 320, 320), "invalid size value", "l is no size"},
      {[] { TQFile_FileOperation::downloadFileWithProgressHandler(TQFile(), nullptr, nullptr); },
       "path", "a file object without a path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    try {
      c.start();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), "NSInvalidArgumentException");
      EXPECT_EQ(e.reason(), c.key + " <REQUIRED PARAMETER> is missing.");
    }
  }
  signIn("");
  EXPECT_THROW(
      TQAPISDK::sharedInstance()->downloadFile(fileRecord("/Photos/same.txt"), nullptr, nullptr),
      TQException)
      << "the access token is checked first";
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
