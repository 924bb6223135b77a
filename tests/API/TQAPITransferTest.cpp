// Downloads and uploads on the background session: download file names and places, replacing and
// deleting download files, the upload's answer, and the background-session hand-off.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/ServerFixture.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Latch;

struct Transfer {
  Latch done;
  std::shared_ptr<TQAPIQueryResponse> response;
  int64_t lastTotal = -1;
  bool progressOnDelegateQueue = true;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class TQAPITransferTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
    // Every file answers with its own decoded path, as JSON; "missing" ones with a 404.
    server().route("GET", "/files/.*", [](const httplib::Request& request, httplib::Response& r) {
      r.status = request.path.find("missing") == std::string::npos ? 200 : 404;
      r.set_content(tq::JSON({{"path", request.path}}).dump(), "application/json");
    });
  }

  // Starts a download through the facade's single-call road; the caller waits on `done`.
  std::shared_ptr<TQAPI> download(const std::string& path, const std::shared_ptr<Transfer>& t) {
    const auto session = TQURLSession::sharedURLSession()->backgroundSession();
    return TQAPISDK::sharedInstance()->startSingleCall<TQTestAPI>(
        testParams(path),
        [t](const std::shared_ptr<TQAPIQueryResponse>& response) {
          t->response = response;
          t->done.countDown();
        },
        TQCallStart::download([t, session](int64_t, int64_t total, int64_t) {
          t->lastTotal = total;
          t->progressOnDelegateQueue &= session->delegateQueue().isCurrent();
        }));
  }

  // Downloads `path` to completion; the call is the caller's last reference once this returns.
  std::pair<std::shared_ptr<TQAPI>, std::shared_ptr<Transfer>> completeDownload(
      const std::string& path) {
    auto transfer = std::make_shared<Transfer>();
    auto call = download(path, transfer);
    EXPECT_TRUE(transfer->done.wait());
    // The session event that delivered, and the facade's delivery block, let go of the call.
    TQURLSession::sharedURLSession()->backgroundSession()->delegateQueue().sync([] {});
    drainMainQueue();
    return {std::move(call), std::move(transfer)};
  }

  std::vector<std::string> documents() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(documentsDirectory())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
};

TEST_F(TQAPITransferTest, DownloadFileNames) {
  const struct {
    std::string path;
    std::string name;
    const char* why;
  } cases[] = {
      {"/files/report.pdf", "report.pdf", "the last path component"},
      {"/files/a%20b%C3%A9.txt", "a bé.txt", "percent-decoded"},
      {"/files/missing.txt", "missing.txt", "an error body is kept as the file too"},
      {"/files/%2E%2E", "download", "'..' would leave the Documents directory"},
      {"/files/%2E", "download", "'.' is the directory itself"},
      {"/files/a%2F..%2F..%2Fescape", "download", "an encoded '/' inside the name"},
      {"/files/a%00b", "download", "NUL ends a name early"},
      {"/", "download", "the root has no file name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    auto [call, transfer] = completeDownload(c.path);
    const auto response = transfer->response;
    EXPECT_EQ(call->sessionID(), "com.quenlar.QuenlarCloudAPI.uploadSession");
    ASSERT_TRUE(response->downloadedURL().has_value());
    EXPECT_EQ(fs::path(response->downloadedURL()->path()), documentsDirectory() / c.name);
    EXPECT_EQ(documents(), std::vector<std::string>{c.name}) << "nothing else written";
    EXPECT_NE(readFile(documentsDirectory() / c.name).find("\"path\""), std::string::npos);
    EXPECT_EQ(response->jsonResponse(), nullptr) << "a download's body is a file, not JSON";
    EXPECT_FALSE(response->responseData().has_value());
    EXPECT_EQ(transfer->lastTotal,
              static_cast<int64_t>(fs::file_size(documentsDirectory() / c.name)));
    EXPECT_TRUE(transfer->progressOnDelegateQueue);
    call.reset();
    EXPECT_TRUE(documents().empty()) << "the file goes with its call";
  }
}

TEST_F(TQAPITransferTest, OnlyARegularFileIsReplaced) {
  fs::create_directories(documentsDirectory() / "dir.txt");
  std::ofstream(root() / "outside") << "keep";
  fs::create_symlink(root() / "outside", documentsDirectory() / "link.txt");
  std::ofstream(documentsDirectory() / "old.txt") << "old";

  auto [regular, regularTransfer] = completeDownload("/files/old.txt");
  EXPECT_NE(readFile(documentsDirectory() / "old.txt"), "old");
  EXPECT_TRUE(regularTransfer->response->downloadedURL().has_value());
  EXPECT_FALSE(regularTransfer->response->error().has_value());

  for (const char* name : {"dir.txt", "link.txt"}) {
    SCOPED_TRACE(name);
    auto [call, transfer] = completeDownload(std::string("/files/") + name);
    EXPECT_EQ(transfer->response->statusCode(), 200) << "the handler still hears";
    EXPECT_FALSE(transfer->response->downloadedURL().has_value());
    ASSERT_TRUE(transfer->response->error().has_value()) << "no file is no success";
    EXPECT_EQ(transfer->response->error()->code(), tq::URLError::CannotCreateFile);
    EXPECT_FALSE(TQAPIQueryResponse_Helper::isSuccess(*transfer->response));
  }
  EXPECT_TRUE(fs::is_directory(documentsDirectory() / "dir.txt"));
  EXPECT_TRUE(fs::is_symlink(documentsDirectory() / "link.txt"));
  EXPECT_EQ(readFile(root() / "outside"), "keep");
}

TEST_F(TQAPITransferTest, DownloadFromAnotherFileSystemIsCopiedIntoPlace) {
  const fs::path shm = "/dev/shm";
  struct stat shmStatus {};
  struct stat rootStatus {};
  if (::stat(shm.c_str(), &shmStatus) != 0 || ::stat(root().c_str(), &rootStatus) != 0 ||
      shmStatus.st_dev == rootStatus.st_dev) {
    GTEST_SKIP() << "no second file system to download through";
  }
  const fs::path temporary = shm / root().filename();
  std::error_code error;
  fs::create_directories(temporary);
  tq::Environment::setTemporaryDirectory(temporary);
  const auto [call, transfer] = completeDownload("/files/far.txt");
  EXPECT_TRUE(transfer->response->downloadedURL().has_value());
  EXPECT_EQ(documents(), std::vector<std::string>{"far.txt"}) << "no copy left beside it";
  EXPECT_NE(readFile(documentsDirectory() / "far.txt").find("far.txt"), std::string::npos);
  fs::remove_all(temporary, error);
}

TEST_F(TQAPITransferTest, ReleaseDeletesOnlyTheFileThisCallWrote) {
  auto [first, firstTransfer] = completeDownload("/files/same.txt");
  auto [second, secondTransfer] = completeDownload("/files/same.txt");
  const auto firstPlace = documentsDirectory() / "same.txt";
  const auto secondPlace = documentsDirectory() / "same (2).txt";
  EXPECT_EQ(firstTransfer->response->downloadedURL(), tq::URL::fileURLWithPath(firstPlace));
  EXPECT_EQ(secondTransfer->response->downloadedURL(), tq::URL::fileURLWithPath(secondPlace))
      << "the name is the first call's while it lives";
  first.reset();
  EXPECT_FALSE(fs::exists(firstPlace));
  EXPECT_TRUE(fs::exists(secondPlace));
  second.reset();
  EXPECT_FALSE(fs::exists(secondPlace));
}

TEST_F(TQAPITransferTest, UploadSendsTheFileAndReadsTheAnswer) {
  const auto file = root() / "upload.bin";
  std::ofstream(file, std::ios::binary) << std::string(300000, 'x');
  server().route("POST", "/cloud/1/upload", [](const httplib::Request&, httplib::Response& r) {
    r.status = 201;
    r.set_content(
        tq::JSON({{"length", testserver::TestServer::currentRequest()->bodyLength}}).dump(),
        "application/json");
  });
  auto params = testParams("/cloud/1/upload");
  params->method = "POST";
  auto transfer = std::make_shared<Transfer>();
  TQAPISDK::sharedInstance()->startSingleCall<TQTestAPI>(
      params,
      [transfer](const std::shared_ptr<TQAPIQueryResponse>& response) {
        transfer->response = response;
        transfer->done.countDown();
      },
      TQCallStart::upload(
          tq::URL::fileURLWithPath(file),
          [transfer](int64_t, int64_t total, int64_t) { transfer->lastTotal = total; }));
  ASSERT_TRUE(transfer->done.wait());
  EXPECT_EQ(transfer->response->statusCode(), 201);
  ASSERT_NE(transfer->response->jsonResponse(), nullptr);
  EXPECT_EQ(transfer->response->jsonResponse()->value("length", 0), 300000);
  EXPECT_EQ(transfer->lastTotal, 300000);
}

TEST_F(TQAPITransferTest, BackgroundHandlerRunsOnceTheSessionHasNoTaskLeft) {
  const auto holder = TQURLSession::sharedURLSession();
  auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("GET", "/files/held", {.holdUntil = gate});
  Latch ran;
  bool onMain = false;
  TQAPISDK::sharedInstance()->handleCompletionHandler(
      [&] {
        onMain = tq::mainQueue().isCurrent();
        ran.countDown();
      },
      "any identifier");

  auto transfer = std::make_shared<Transfer>();
  const auto call = download("/files/held", transfer);
  ASSERT_TRUE(server().waitForRequests(1, testsupport::kTimeout));
  holder->didFinishEventsForBackgroundURLSession(*holder->backgroundSession());
  holder->backgroundSession()->delegateQueue().sync([] {});
  EXPECT_TRUE(holder->backgroundSessionCompletionHandler()) << "a task is still listed";

  gate->open();
  ASSERT_TRUE(transfer->done.wait());
  ASSERT_TRUE(ran.wait()) << "the session reports its last task done";
  drainMainQueue();
  EXPECT_TRUE(onMain);
  EXPECT_FALSE(holder->backgroundSessionCompletionHandler());
}

}  // namespace
