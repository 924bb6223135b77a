#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "tests/Platform/URLSessionRecorder.h"
#include "tests/support/TestSupport.h"
#include "testserver/Pattern.h"
#include "testserver/TestServer.h"

namespace {

using testserver::Answer;
using tq::URLError;
using urlsessiontest::Recorder;
using urlsessiontest::request;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr int64_t kMiB = int64_t{1} << 20;

// Binds `fd` to an ephemeral loopback port and answers the port.
int bindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  return ntohs(address.sin_port);
}

// A port on which nobody listens: bound once to learn a free number, then released.
int unusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int port = bindLoopback(fd);
  ::close(fd);
  return port;
}

// Accepts one connection and keeps the request head exactly as it arrived: the test server's
// parser files header fields by name, which hides their order.
class RawListener {
 public:
  RawListener() : fd_(::socket(AF_INET, SOCK_STREAM, 0)), port_(bindLoopback(fd_)) {
    if (::listen(fd_, 1) != 0) {
      throw std::runtime_error("cannot listen on a loopback socket");
    }
    thread_ = std::thread([this] { serve(); });
  }
  ~RawListener() {
    if (thread_.joinable()) {
      thread_.join();
    }
    ::close(fd_);
  }
  RawListener(const RawListener&) = delete;
  RawListener& operator=(const RawListener&) = delete;

  int port() const { return port_; }
  // The lines after the request line; call once the request completed.
  std::vector<std::string> fieldLines() {
    thread_.join();
    std::vector<std::string> lines;
    for (size_t start = head_.find("\r\n") + 2, end;
         (end = head_.find("\r\n", start)) != std::string::npos && end > start; start = end + 2) {
      lines.push_back(head_.substr(start, end - start));
    }
    return lines;
  }

 private:
  void serve() {
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(testsupport::kTimeout.count() * 1000)) != 1) {
      return;
    }
    const int connection = ::accept(fd_, nullptr, nullptr);
    char buffer[4096];
    while (head_.find("\r\n\r\n") == std::string::npos && head_.size() < 65536) {
      const ssize_t n = ::read(connection, buffer, sizeof(buffer));
      if (n <= 0) {
        break;
      }
      head_.append(buffer, static_cast<size_t>(n));
    }
    const std::string answer = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
    static_cast<void>(::write(connection, answer.data(), answer.size()));
    ::close(connection);
  }

  int fd_;
  int port_;
  std::string head_;
  std::thread thread_;
};

class URLSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tq::Environment::setTemporaryDirectory(directory.path() / "tmp");
    session = urlsessiontest::makeSession(recorder);
  }

  void TearDown() override {
    if (session) {
      urlsessiontest::release(session);
    }
  }

  std::string url(const std::string& path) const { return server.baseURL() + path; }

  std::filesystem::path patternFile(const std::string& name, int64_t size) const {
    auto path = directory.path() / name;
    testserver::writePatternFile(path.string(), size);
    return path;
  }

  bool temporaryDirectoryIsEmpty() const {
    const auto tmp = tq::Environment::temporaryDirectory();
    return std::filesystem::is_empty(tmp);
  }

  testsupport::TemporaryDirectory directory;
  testserver::TestServer server;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
  std::shared_ptr<tq::URLSession> session;
};

TEST_F(URLSessionTest, SendsEachMethodWithItsBodyAndNothingCurlWouldAdd) {
  struct Case {
    const char* reason;
    std::string method;
    std::optional<std::string> body;
    std::optional<std::string> contentLength;
  };
  const std::vector<Case> cases = {
      {"GET without a body announces none", "GET", std::nullopt, std::nullopt},
      {"POST without a body says so instead of reading standard input", "POST", std::nullopt, "0"},
      {"POST with a body", "POST", R"({"a":1})", "7"},
      {"POST above curl's 100-continue threshold still sends at once", "POST",
       std::string(2 * kMiB, 'x'), std::to_string(2 * kMiB)},
      {"PUT without a body", "PUT", std::nullopt, "0"},
      {"PUT with a body", "PUT", "put-body", "8"},
      {"DELETE without a body", "DELETE", std::nullopt, "0"},
      {"DELETE with a body", "DELETE", R"({"ids":[1]})", "11"},
      {"PATCH with a body", "PATCH", "patch", "5"},
  };
  std::vector<std::shared_ptr<tq::URLSessionDataTask>> tasks;
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = "/method/" + std::to_string(i);
    server.script(cases[i].method, path, Answer{.body = "answer-" + std::to_string(i)});
    auto r = request(url(path), cases[i].method);
    r.setHTTPBody(cases[i].body);
    tasks.push_back(session->dataTaskWithRequest(r));
    tasks.back()->resume();
  }
  ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(cases.size())));
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const auto logged = server.requests("/method/" + std::to_string(i));
    ASSERT_EQ(logged.size(), 1U) << c.reason;
    EXPECT_EQ(logged[0].method, c.method) << c.reason;
    EXPECT_EQ(logged[0].bodyLength, static_cast<int64_t>(c.body.value_or("").size())) << c.reason;
    EXPECT_EQ(logged[0].bodySha256, tq::sha256(c.body.value_or(""))) << c.reason;
    EXPECT_EQ(logged[0].header("Content-Length"), c.contentLength) << c.reason;
    for (const char* absent :
         {"Expect", "Accept", "Content-Type", "User-Agent", "Transfer-Encoding"}) {
      EXPECT_EQ(logged[0].headerCount(absent), 0U) << c.reason << ": " << absent;
    }
    const auto record = recorder->record(tasks[i]->taskIdentifier());
    EXPECT_FALSE(record.error) << c.reason;
    ASSERT_TRUE(record.response) << c.reason;
    EXPECT_EQ(record.response->statusCode(), 200) << c.reason;
    EXPECT_EQ(record.body, "answer-" + std::to_string(i)) << c.reason;
  }
}

TEST_F(URLSessionTest, ARequestLeavesNothingBehindForTheNextOnTheSameConnection) {
  // One after another, so that each transfer takes over the handle the one before it used.
  struct Case {
    const char* reason;
    std::string method;
    std::optional<std::string> body;
    bool withField;
    std::string answer;  // what the delegate must receive
    std::optional<std::string> contentLength = std::nullopt;
  };
  const std::vector<Case> cases = {
      {"HEAD asks for no body", "HEAD", std::nullopt, false, ""},
      {"GET after HEAD still reads its body", "GET", std::nullopt, false, "answer-1"},
      {"POST sends its body", "POST", "posted", false, "answer-2", "6"},
      {"GET after POST sends no body", "GET", std::nullopt, false, "answer-3"},
      {"a method of its own", "PATCH", "patch", true, "answer-4", "5"},
      {"GET after it uses GET again and drops the field", "GET", std::nullopt, false, "answer-5"},
      {"a long body", "PUT", std::string(300000, 'b'), true, "answer-6", "300000"},
      {"POST without a body after it announces none of the old length", "POST", std::nullopt, false,
       "answer-7", "0"},
      {"HEAD after a body-less POST", "HEAD", std::nullopt, true, ""},
      {"DELETE after HEAD reads its answer", "DELETE", std::nullopt, false, "answer-9", "0"},
      {"GET after DELETE", "GET", std::nullopt, false, "answer-10"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const std::string path = "/reuse/" + std::to_string(i);
    server.script(c.method == "HEAD" ? "GET" : c.method, path,
                  Answer{.body = "answer-" + std::to_string(i)});
    auto r = request(url(path), c.method);
    r.setHTTPBody(c.body);
    if (c.withField) {
      r.setValue("once", "X-Once");
    }
    auto task = session->dataTaskWithRequest(r);
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(i) + 1)) << c.reason;
    const auto logged = server.requests(path);
    ASSERT_EQ(logged.size(), 1U) << c.reason;
    EXPECT_EQ(logged[0].method, c.method) << c.reason;
    EXPECT_EQ(logged[0].bodyLength, static_cast<int64_t>(c.body.value_or("").size())) << c.reason;
    EXPECT_EQ(logged[0].headerCount("X-Once"), c.withField ? 1U : 0U) << c.reason;
    EXPECT_EQ(logged[0].header("Content-Length"), c.contentLength) << c.reason;
    const auto record = recorder->record(task->taskIdentifier());
    EXPECT_FALSE(record.error) << c.reason;
    EXPECT_EQ(record.body, c.answer) << c.reason;
  }
}

TEST_F(URLSessionTest, SendsHeaderFieldsInTheRequestsOrder) {
  RawListener listener;
  const std::string host = "127.0.0.1:" + std::to_string(listener.port());
  auto fields = request("http://" + host + "/ordered");
  fields.addValue("Bearer t", "Authorization");
  fields.addValue("application/json", "Accept");
  fields.addValue("1", "X-Zulu");
  fields.addValue("2", "X-Alpha");
  fields.addValue("3", "X-Alpha");
  fields.setValue("", "X-Empty");
  fields.addValue("agent/1.0", "User-Agent");
  auto task = session->dataTaskWithRequest(fields);
  task->resume();
  ASSERT_TRUE(recorder->waitForCompletions(1));
  EXPECT_EQ(listener.fieldLines(),
            (std::vector<std::string>{"Host: " + host, "Authorization: Bearer t",
                                      "Accept: application/json", "X-Zulu: 1", "X-Alpha: 2, 3",
                                      "X-Empty:", "User-Agent: agent/1.0"}));
  EXPECT_EQ(recorder->record(task->taskIdentifier()).response->statusCode(), 204);
}

TEST_F(URLSessionTest, DeliversEventsInThePlatformsOrderOnTheDelegateQueue) {
  const auto upload = patternFile("upload.bin", 3 * kMiB);
  server.script("GET", "/order/data", Answer{.body = "hello"});
  server.script("GET", "/order/download", Answer{.generatedBodySize = 2 * kMiB});
  server.script("POST", "/order/upload", Answer{.body = "stored"});
  server.script("POST", "/order/post", Answer{.body = "posted"});
  server.script("GET", "/order/empty", Answer{.status = 204});
  struct Case {
    const char* reason;
    std::shared_ptr<tq::URLSessionTask> task;
    std::vector<std::string> events;
  };
  auto post = request(url("/order/post"), "POST");
  post.setHTTPBody(std::string(kMiB, 'p'));
  const std::vector<Case> cases = {
      {"data task",
       session->dataTaskWithRequest(request(url("/order/data"))),
       {"response", "data", "complete"}},
      {"download task",
       session->downloadTaskWithRequest(request(url("/order/download"))),
       {"written", "downloaded", "complete"}},
      {"upload task",
       session->uploadTaskWithRequest(request(url("/order/upload"), "POST"),
                                      tq::URL::fileURLWithPath(upload)),
       {"sent", "response", "data", "complete"}},
      {"data task with a body",
       session->dataTaskWithRequest(post),
       {"sent", "response", "data", "complete"}},
      {"answer without a body",
       session->dataTaskWithRequest(request(url("/order/empty"))),
       {"response", "complete"}},
  };
  for (const auto& c : cases) {
    c.task->resume();
  }
  ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(cases.size())));
  session.reset();  // nothing may arrive after the completions, not even at shutdown
  for (const auto& c : cases) {
    const auto record = recorder->record(c.task->taskIdentifier());
    EXPECT_EQ(record.events, c.events) << c.reason;
    EXPECT_FALSE(record.error) << c.reason;
    EXPECT_EQ(record.completions, 1) << c.reason;
    EXPECT_EQ(record.eventsAfterCompletion, 0) << c.reason;
    EXPECT_EQ(c.task->state(), tq::URLSessionTaskState::Completed) << c.reason;
    EXPECT_TRUE(c.task->response()) << c.reason;
  }
  EXPECT_EQ(recorder->offQueueEvents(), 0);
}

TEST_F(URLSessionTest, EventsHeldForALateDispositionFollowItInOrder) {
  const auto upload = patternFile("late.bin", kMiB);
  server.script("GET", "/late/small", Answer{.body = "small"});
  server.script("GET", "/late/pieces",
                Answer{.pieces = {"ab", "cd", "ef"}, .sendContentLength = false});
  server.script("GET", "/late/empty", Answer{.status = 204});
  server.script("POST", "/late/upload", Answer{.body = "stored"});
  enum class Late { Allow, Refuse, CancelThenAllow };
  struct Case {
    const char* reason;
    std::shared_ptr<tq::URLSessionTask> task;
    Late late;
    bool fromDelegateQueue;
    std::vector<std::string> events;
    std::string body;
    std::optional<int64_t> code;
  };
  const auto small = [&] { return session->dataTaskWithRequest(request(url("/late/small"))); };
  const std::vector<Case> cases = {
      {"allowed: the body and the completion follow",
       small(),
       Late::Allow,
       false,
       {"response", "data", "complete"},
       "small",
       std::nullopt},
      {"allowed on the delegate queue",
       small(),
       Late::Allow,
       true,
       {"response", "data", "complete"},
       "small",
       std::nullopt},
      {"allowed: a body in pieces keeps their order",
       session->dataTaskWithRequest(request(url("/late/pieces"))),
       Late::Allow,
       true,
       {"response", "data", "complete"},
       "abcdef",
       std::nullopt},
      {"allowed: an answer without a body completes",
       session->dataTaskWithRequest(request(url("/late/empty"))),
       Late::Allow,
       false,
       {"response", "complete"},
       "",
       std::nullopt},
      {"allowed: the upload's progress came before the response",
       session->uploadTaskWithRequest(request(url("/late/upload"), "POST"),
                                      tq::URL::fileURLWithPath(upload)),
       Late::Allow,
       true,
       {"sent", "response", "data", "complete"},
       "stored",
       std::nullopt},
      {"refused: cancelled without the body that had arrived",
       small(),
       Late::Refuse,
       false,
       {"response", "complete"},
       "",
       URLError::Cancelled},
      {"refused on the delegate queue",
       small(),
       Late::Refuse,
       true,
       {"response", "complete"},
       "",
       URLError::Cancelled},
      {"cancelled while it waits: the allow that follows changes nothing",
       small(),
       Late::CancelThenAllow,
       false,
       {"response", "complete"},
       "",
       URLError::Cancelled},
  };
  std::mutex mutex;
  std::map<uint64_t, Recorder::Handler> handlers;
  testsupport::Latch responses(static_cast<int>(cases.size()));
  recorder->onResponse = [&](const auto& task, auto& handler) {
    {
      std::lock_guard lock(mutex);
      handlers[task->taskIdentifier()] = handler;
    }
    responses.countDown();
    return false;
  };
  for (const auto& c : cases) {
    c.task->resume();
  }
  ASSERT_TRUE(responses.wait());
  EXPECT_EQ(recorder->completed(), 0) << "nothing passes an unanswered disposition";
  for (const auto& c : cases) {
    Recorder::Handler handler;
    {
      std::lock_guard lock(mutex);
      handler = handlers[c.task->taskIdentifier()];
    }
    auto answer = [&c, handler] {
      if (c.late == Late::CancelThenAllow) {
        c.task->cancel();
      }
      handler(c.late == Late::Refuse ? tq::URLSessionResponseDisposition::Cancel
                                     : tq::URLSessionResponseDisposition::Allow);
    };
    if (c.fromDelegateQueue) {
      session->delegateQueue().async(answer);
    } else {
      answer();
    }
  }
  ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(cases.size())));
  urlsessiontest::release(session);
  for (const auto& c : cases) {
    const auto record = recorder->record(c.task->taskIdentifier());
    EXPECT_EQ(record.events, c.events) << c.reason;
    EXPECT_EQ(record.body, c.body) << c.reason;
    EXPECT_EQ(record.error ? std::optional(record.error->code()) : std::nullopt, c.code)
        << c.reason;
    EXPECT_EQ(record.completions, 1) << c.reason;
    EXPECT_EQ(c.task->state(), tq::URLSessionTaskState::Completed) << c.reason;
  }
}

TEST_F(URLSessionTest, AResponseAwaitingItsDispositionReadsOnlyABoundedWayAhead) {
  const int64_t size = 32 * kMiB;
  server.script("GET", "/waiting", Answer{.generatedBodySize = size});
  server.script("GET", "/meanwhile", Answer{.generatedBodySize = 16 * kMiB});
  recorder->keepBodies = false;
  std::shared_ptr<tq::URLSessionDataTask> waiting;
  // Delegate queue only, from here on.
  Recorder::Handler answerLater;
  tq::Sha256 hash;
  int64_t heldBytes = 0;
  bool released = false;
  recorder->onResponse = [&](const auto& task, auto& handler) {
    if (task != waiting) {
      return true;
    }
    answerLater = handler;
    // The other task keeps the delegate queue busy while this one waits: long enough for a
    // transfer that went on reading to read its whole body.
    session->dataTaskWithRequest(request(url("/meanwhile")))->resume();
    return false;
  };
  recorder->onEvent = [&](tq::URLSession& s, const auto& task, const std::string& event,
                          const std::string& piece) {
    if (task == waiting && event == "data") {
      hash.update(piece);
      heldBytes += released ? 0 : static_cast<int64_t>(piece.size());
    } else if (event == "data") {
      for (int i = 0; i < 3; ++i) {
        static_cast<void>(tq::sha256(piece));
      }
    } else if (task != waiting && event == "complete") {
      answerLater(tq::URLSessionResponseDisposition::Allow);
      // Queued behind the pieces the gate held, which the answer has just let through.
      s.delegateQueue().async([&] { released = true; });
    }
  };
  waiting = session->dataTaskWithRequest(request(url("/waiting")));
  waiting->resume();
  ASSERT_TRUE(recorder->waitForCompletions(2));
  urlsessiontest::release(session);
  const auto record = recorder->record(waiting->taskIdentifier());
  EXPECT_FALSE(record.error);
  EXPECT_EQ(record.events, (std::vector<std::string>{"response", "data", "complete"}));
  EXPECT_EQ(hash.final(), testserver::patternSha256(size));
  EXPECT_GT(heldBytes, 0);
  EXPECT_LT(heldBytes, 8 * kMiB) << "the transfer stopped reading while the gate held its pieces";
}

TEST_F(URLSessionTest, ReportsExpectedSizesAndLooksUpResponseFieldsWithoutCase) {
  server.script("GET", "/sized", Answer{.headers = {{"X-Header-ETag", "e1"}}, .body = "12345"});
  server.script("GET", "/chunked", Answer{.pieces = {"ab", "cd"}, .sendContentLength = false});
  server.script("GET", "/chunked-download",
                Answer{.pieces = {"ab", "cd", "ef"}, .sendContentLength = false});
  auto sized = session->dataTaskWithRequest(request(url("/sized")));
  auto chunked = session->dataTaskWithRequest(request(url("/chunked")));
  auto download = session->downloadTaskWithRequest(request(url("/chunked-download")));
  sized->resume();
  chunked->resume();
  download->resume();
  ASSERT_TRUE(recorder->waitForCompletions(3));

  const auto sizedRecord = recorder->record(sized->taskIdentifier());
  ASSERT_TRUE(sizedRecord.response);
  EXPECT_EQ(sizedRecord.response->expectedContentLength(), 5);
  EXPECT_EQ(sizedRecord.response->valueForHTTPHeaderField("X-Header-Etag"), "e1");
  EXPECT_EQ(sizedRecord.response->valueForHTTPHeaderField("x-header-etag"), "e1");

  const auto chunkedRecord = recorder->record(chunked->taskIdentifier());
  ASSERT_TRUE(chunkedRecord.response);
  EXPECT_EQ(chunkedRecord.response->expectedContentLength(), -1);
  EXPECT_EQ(chunkedRecord.body, "abcd");

  const auto downloadRecord = recorder->record(download->taskIdentifier());
  ASSERT_FALSE(downloadRecord.written.empty());
  EXPECT_EQ(downloadRecord.written.back().total, 6);
  EXPECT_EQ(downloadRecord.written.back().expected, -1);
  EXPECT_EQ(download->response()->expectedContentLength(), -1);
}

TEST_F(URLSessionTest, DownloadsHundredsOfMegabytesWithFlatMemory) {
  const int64_t size = (kSanitized ? 96 : 300) * kMiB;
  server.script("GET", "/big", Answer{.generatedBodySize = size});
  std::string digest;
  int64_t peakResident = 0;  // delegate queue only until the completion
  recorder->onEvent = [&](auto&, auto&, const std::string& event, const std::string& detail) {
    if (event == "written") {
      peakResident = std::max(peakResident, testsupport::residentSetSize());
    } else if (event == "downloaded") {
      EXPECT_EQ(std::filesystem::file_size(detail), static_cast<uintmax_t>(size));
      digest = tq::sha256OfFile(detail).value_or("");
    }
  };
  const int64_t before = testsupport::residentSetSize();
  auto task = session->downloadTaskWithRequest(request(url("/big")));
  task->resume();
  ASSERT_TRUE(recorder->waitForCompletions(1));

  const auto record = recorder->record(task->taskIdentifier());
  EXPECT_FALSE(record.error);
  EXPECT_EQ(digest, testserver::patternSha256(size));
  ASSERT_FALSE(record.written.empty());
  int64_t sum = 0;
  for (const auto& p : record.written) {
    sum += p.step;
  }
  EXPECT_EQ(sum, size);
  EXPECT_EQ(record.written.back().total, size);
  EXPECT_EQ(record.written.back().expected, size);
  EXPECT_GT(record.written.size(), 10U) << "progress arrives along the way";
  EXPECT_LT(record.written.size(), static_cast<size_t>(size / 4096)) << "progress is spaced out";
  EXPECT_LT(peakResident - before, 64 * kMiB);
  EXPECT_TRUE(testsupport::eventually([&] { return temporaryDirectoryIsEmpty(); }))
      << "the download file goes once the delegate has seen it";
}

TEST_F(URLSessionTest, KeepsMemoryBoundedWhenTheDelegateFallsBehind) {
  // AddressSanitizer keeps freed pieces in quarantine, so there resident memory follows the bytes
  // that passed through rather than those held at once; a small body keeps it under the bound.
  const int64_t size = (kSanitized ? 16 : 256) * kMiB;
  server.script("GET", "/stream", Answer{.generatedBodySize = size});
  recorder->keepBodies = false;
  tq::Sha256 hash;
  int64_t peakResident = 0;  // delegate queue only until the completion
  recorder->onEvent = [&](auto&, auto&, const std::string& event, const std::string& piece) {
    if (event != "data") {
      return;
    }
    hash.update(piece);
    // A delegate slower than loopback: without back-pressure the queue would pile up.
    for (int i = 0; i < 3; ++i) {
      static_cast<void>(tq::sha256(piece));
    }
    peakResident = std::max(peakResident, testsupport::residentSetSize());
  };
  const int64_t before = testsupport::residentSetSize();
  auto task = session->dataTaskWithRequest(request(url("/stream")));
  task->resume();
  ASSERT_TRUE(recorder->waitForCompletions(1));
  EXPECT_FALSE(recorder->record(task->taskIdentifier()).error);
  EXPECT_EQ(recorder->bodyBytes(), size);
  EXPECT_EQ(hash.final(), testserver::patternSha256(size));
  EXPECT_LT(peakResident - before, 64 * kMiB);
}

TEST_F(URLSessionTest, UploadsFromAFileWithProgress) {
  const int64_t size = 20 * kMiB + 123;
  const auto file = patternFile("upload.bin", size);
  for (const std::string method : {"POST", "PUT"}) {
    const std::string path = "/upload/" + method;
    server.script(method, path, Answer{.status = 201, .body = "ok"});
    auto task =
        session->uploadTaskWithRequest(request(url(path), method), tq::URL::fileURLWithPath(file));
    const int before = recorder->completed();
    task->resume();
    ASSERT_TRUE(recorder->waitForCompletions(before + 1));

    const auto logged = server.requests(path);
    ASSERT_EQ(logged.size(), 1U) << method;
    EXPECT_EQ(logged[0].method, method);
    EXPECT_EQ(logged[0].bodyLength, size) << method;
    EXPECT_EQ(logged[0].bodySha256, testserver::patternSha256(size)) << method;
    EXPECT_EQ(logged[0].header("Content-Length"), std::to_string(size)) << method;
    EXPECT_EQ(logged[0].headerCount("Expect"), 0U) << method;
    EXPECT_EQ(logged[0].headerCount("Transfer-Encoding"), 0U) << method;

    const auto record = recorder->record(task->taskIdentifier());
    EXPECT_FALSE(record.error) << method;
    EXPECT_EQ(record.body, "ok") << method;
    EXPECT_EQ(record.response->statusCode(), 201) << method;
    ASSERT_FALSE(record.sent.empty()) << method;
    int64_t sum = 0;
    for (const auto& p : record.sent) {
      sum += p.step;
      EXPECT_EQ(p.expected, size) << method;
    }
    EXPECT_EQ(sum, size) << method;
    EXPECT_EQ(record.sent.back().total, size) << method;
  }
}

TEST_F(URLSessionTest, StopsAnswersLongerThanTheMaximumButNeverDownloads) {
  EXPECT_EQ(tq::URLSession::maximumResponseDataLength(), 256 * kMiB) << "the documented default";
  const int64_t limit = 100000;
  tq::URLSession::setMaximumResponseDataLength(limit);
  auto limited = std::make_shared<Recorder>();
  auto limitedSession = urlsessiontest::makeSession(limited);
  enum class Kind { Data, Head, Upload, Download };
  struct Case {
    const char* reason;
    Kind kind;
    int64_t size;
    bool announced;  // with a Content-Length, or chunked
    bool fails;
  };
  const std::vector<Case> cases = {
      {"just under", Kind::Data, limit - 1, true, false},
      {"exactly at", Kind::Data, limit, true, false},
      {"exactly at, counted as it streams", Kind::Data, limit, false, false},
      {"one byte over, announced", Kind::Data, limit + 1, true, true},
      {"far over, announced", Kind::Data, 16 * kMiB, true, true},
      {"one byte over as it streams", Kind::Data, limit + 1, false, true},
      {"far over as it streams", Kind::Data, 8 * kMiB, false, true},
      {"an upload's answer", Kind::Upload, limit + 1, false, true},
      {"HEAD announces a body it never sends", Kind::Head, 16 * kMiB, true, false},
      {"a download streams to disk", Kind::Download, 2 * kMiB, true, false},
  };
  const auto question = tq::URL::fileURLWithPath(patternFile("question.bin", 1000));
  std::vector<std::shared_ptr<tq::URLSessionTask>> tasks;
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const std::string path = "/limit/" + std::to_string(i);
    const std::string method = c.kind == Kind::Upload ? "POST" : "GET";
    server.script(method, path,
                  Answer{.generatedBodySize = c.size, .sendContentLength = c.announced});
    const auto r = request(url(path), c.kind == Kind::Head ? "HEAD" : method);
    if (c.kind == Kind::Upload) {
      tasks.push_back(limitedSession->uploadTaskWithRequest(r, question));
    } else if (c.kind == Kind::Download) {
      tasks.push_back(limitedSession->downloadTaskWithRequest(r));
    } else {
      tasks.push_back(limitedSession->dataTaskWithRequest(r));
    }
    tasks.back()->resume();
  }
  ASSERT_TRUE(limited->waitForCompletions(static_cast<int>(cases.size())));
  urlsessiontest::release(limitedSession);
  std::string pattern(static_cast<size_t>(limit), '\0');
  testserver::fillPattern(0, pattern.data(), pattern.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& c = cases[i];
    const auto record = limited->record(tasks[i]->taskIdentifier());
    EXPECT_EQ(record.error ? record.error->code() : 0,
              c.fails ? URLError::DataLengthExceedsMaximum : 0)
        << c.reason;
    EXPECT_EQ(record.completions + record.eventsAfterCompletion, 1) << c.reason;
    ASSERT_TRUE(tasks[i]->response()) << c.reason << ": the failure comes after the response";
    if (c.kind == Kind::Download) {
      EXPECT_EQ(record.written.empty() ? 0 : record.written.back().total, c.size) << c.reason;
      continue;
    }
    // Never past the limit, and what was delivered stays delivered, in order.
    EXPECT_EQ(record.body, pattern.substr(0, record.body.size())) << c.reason;
    if (c.fails && c.announced) {
      EXPECT_TRUE(record.body.empty()) << c.reason << ": refused before a byte of the body";
    } else if (!c.fails) {
      EXPECT_EQ(record.body.size(), c.kind == Kind::Head ? 0 : c.size) << c.reason;
    }
  }
}

TEST_F(URLSessionTest, FailsUploadsWhoseFileCannotBeRead) {
  struct Case {
    const char* reason;
    tq::URL file;
    int64_t code;
  };
  const std::vector<Case> cases = {
      {"missing file", tq::URL::fileURLWithPath(directory.path() / "missing.bin"),
       URLError::FileDoesNotExist},
      {"a directory", tq::URL::fileURLWithPath(directory.path()), URLError::FileIsDirectory},
      {"not a file URL", *tq::URL::URLWithString(url("/x")), URLError::FileDoesNotExist},
      {"a NUL in the path names no file, not the file before it",
       tq::URL::fileURLWithPath(patternFile("real.bin", 10).string() + std::string("\0.txt", 5)),
       URLError::FileDoesNotExist},
  };
  std::vector<std::shared_ptr<tq::URLSessionUploadTask>> tasks;
  for (const auto& c : cases) {
    tasks.push_back(session->uploadTaskWithRequest(request(url("/upload"), "POST"), c.file));
    tasks.back()->resume();
  }
  ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(cases.size())));
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto record = recorder->record(tasks[i]->taskIdentifier());
    ASSERT_TRUE(record.error) << cases[i].reason;
    EXPECT_EQ(record.error->code(), cases[i].code) << cases[i].reason;
    EXPECT_EQ(record.events, std::vector<std::string>{"complete"}) << cases[i].reason;
  }
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(URLSessionTest, ReportsTransportFailuresWithThePlatformsCodes) {
  server.script("GET", "/closed-at-once", Answer{.closeAbruptly = true});
  server.script("GET", "/closed-mid-body",
                Answer{.generatedBodySize = 8 * kMiB, .closeAbruptly = true});
  server.script("GET", "/closed-mid-download",
                Answer{.generatedBodySize = 8 * kMiB, .closeAbruptly = true});
  auto malformed = request(url("/never"));
  malformed.setValue("a\r\nX-Injected: 1", "X-Field");
  struct Case {
    const char* reason;
    std::shared_ptr<tq::URLSessionTask> task;
    int64_t code;
    bool response;
  };
  const std::vector<Case> cases = {
      {"connection refused",
       session->dataTaskWithRequest(
           request("http://127.0.0.1:" + std::to_string(unusedPort()) + "/x")),
       URLError::CannotConnectToHost, false},
      {"closed before the answer", session->dataTaskWithRequest(request(url("/closed-at-once"))),
       URLError::NetworkConnectionLost, false},
      {"closed in the middle of the body",
       session->dataTaskWithRequest(request(url("/closed-mid-body"))),
       URLError::NetworkConnectionLost, true},
      {"download closed in the middle",
       session->downloadTaskWithRequest(request(url("/closed-mid-download"))),
       URLError::NetworkConnectionLost, true},
      {"a request without a URL", session->dataTaskWithRequest(tq::URLRequest()), URLError::BadURL,
       false},
      {"a scheme that is not HTTP", session->dataTaskWithRequest(request("ftp://127.0.0.1/x")),
       URLError::UnsupportedURL, false},
      {"a field with a line break is never sent", session->dataTaskWithRequest(malformed),
       URLError::Unknown, false},
  };
  for (const auto& c : cases) {
    c.task->resume();
  }
  ASSERT_TRUE(recorder->waitForCompletions(static_cast<int>(cases.size())));
  for (const auto& c : cases) {
    const auto record = recorder->record(c.task->taskIdentifier());
    ASSERT_TRUE(record.error) << c.reason;
    EXPECT_EQ(record.error->code(), c.code) << c.reason;
    EXPECT_EQ(record.error->domain(), "NSURLErrorDomain") << c.reason;
    EXPECT_EQ(c.task->response() != nullptr, c.response) << c.reason;
    EXPECT_EQ(std::count(record.events.begin(), record.events.end(), "downloaded"), 0) << c.reason;
  }
  EXPECT_TRUE(server.requests("/never").empty());
  EXPECT_TRUE(testsupport::eventually([&] { return temporaryDirectoryIsEmpty(); }))
      << "a failed download leaves no file behind";
}

TEST_F(URLSessionTest, CancelCompletesOnceWithCancelledAndNothingAfter) {
  auto gate = std::make_shared<testserver::Gate>();
  server.script("GET", "/held", Answer{.body = "late", .holdUntil = gate});
  server.script("GET", "/stream", Answer{.generatedBodySize = 192 * kMiB});
  server.script("GET", "/download", Answer{.generatedBodySize = 512 * kMiB});
  server.script("GET", "/quick", Answer{.body = "quick"});

  auto early = session->dataTaskWithRequest(request(url("/quick")));
  early->cancel();
  early->resume();
  auto held = session->dataTaskWithRequest(request(url("/held")));
  held->resume();
  ASSERT_TRUE(server.waitForRequests(1, testsupport::kTimeout));
  held->cancel();
  auto streaming = session->dataTaskWithRequest(request(url("/stream")));
  auto download = session->downloadTaskWithRequest(request(url("/download")));
  auto refused = session->dataTaskWithRequest(request(url("/quick")));
  // The long body and the download are cancelled from their first piece of progress.
  recorder->onEvent = [&](auto&, const auto& task, const std::string& event, auto&) {
    if ((task == streaming && event == "data") || (task == download && event == "written")) {
      task->cancel();
    }
  };
  recorder->onResponse = [&](const auto& task, auto& handler) {
    if (task != refused) {
      return true;
    }
    handler(tq::URLSessionResponseDisposition::Cancel);
    return false;
  };
  for (const auto& task :
       std::vector<std::shared_ptr<tq::URLSessionTask>>{streaming, download, refused}) {
    task->resume();
  }
  ASSERT_TRUE(recorder->waitForCompletions(5));
  gate->open();
  auto done = session->dataTaskWithRequest(request(url("/quick")));
  done->resume();
  ASSERT_TRUE(recorder->waitForCompletions(6));
  done->cancel();  // after completion: nothing
  urlsessiontest::release(session);

  struct Expect {
    const char* reason;
    std::shared_ptr<tq::URLSessionTask> task;
    std::vector<std::string> events;
    std::optional<int64_t> code;
  };
  const std::vector<Expect> expectations = {
      {"before it started", early, {"complete"}, URLError::Cancelled},
      {"while the server held the answer", held, {"complete"}, URLError::Cancelled},
      {"from its first piece", streaming, {"response", "data", "complete"}, URLError::Cancelled},
      {"from its first progress", download, {"written", "complete"}, URLError::Cancelled},
      {"by its response's disposition", refused, {"response", "complete"}, URLError::Cancelled},
      {"after completion", done, {"response", "data", "complete"}, std::nullopt},
  };
  for (const auto& e : expectations) {
    const auto record = recorder->record(e.task->taskIdentifier());
    EXPECT_EQ(record.events, e.events) << e.reason;
    EXPECT_EQ(record.completions, 1) << e.reason;
    EXPECT_EQ(record.eventsAfterCompletion, 0) << e.reason;
    EXPECT_EQ(record.error ? std::optional(record.error->code()) : std::nullopt, e.code)
        << e.reason;
    EXPECT_EQ(e.task->state(), tq::URLSessionTaskState::Completed) << e.reason;
  }
  EXPECT_EQ(recorder->record(download->taskIdentifier()).written.size(), 1U);
  EXPECT_EQ(server.requests("/quick").size(), 2U)
      << "the task cancelled before it started sent nothing";
  EXPECT_TRUE(testsupport::eventually([&] { return temporaryDirectoryIsEmpty(); }));
}

TEST_F(URLSessionTest, ListsTheTasksNotYetCompleted) {
  auto gate = std::make_shared<testserver::Gate>();
  server.script("GET", "/held", Answer{.holdUntil = gate});
  auto running = session->dataTaskWithRequest(request(url("/held")));
  auto suspended = session->downloadTaskWithRequest(request(url("/held")));
  auto cancelled = session->dataTaskWithRequest(request(url("/held")));
  running->resume();
  cancelled->cancel();
  auto listed = [&] {
    testsupport::Latch answered;
    std::vector<uint64_t> identifiers;
    session->getAllTasksWithCompletionHandler([&](auto tasks) {
      EXPECT_TRUE(session->delegateQueue().isCurrent());
      for (const auto& task : tasks) {
        identifiers.push_back(task->taskIdentifier());
      }
      answered.countDown();
    });
    EXPECT_TRUE(answered.wait());
    return identifiers;
  };
  EXPECT_EQ(listed(), (std::vector<uint64_t>{1, 2}));
  gate->open();
  suspended->cancel();
  ASSERT_TRUE(recorder->waitForCompletions(3));
  EXPECT_TRUE(listed().empty());
}

TEST_F(URLSessionTest, BackgroundSessionsSayWhenTheirWorkIsDone) {
  server.script("GET", "/a", Answer{.body = "a"});
  auto background = std::make_shared<Recorder>();
  testsupport::Latch finished;
  std::vector<uint64_t> leftOver{99};
  background->onBackgroundEventsFinished = [&](tq::URLSession& s) {
    s.getAllTasksWithCompletionHandler([&](auto tasks) {
      leftOver.clear();
      for (const auto& task : tasks) {
        leftOver.push_back(task->taskIdentifier());
      }
      finished.countDown();
    });
  };
  auto backgroundSession = tq::URLSession::sessionWithConfiguration(
      tq::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("lib.upload"),
      background);
  EXPECT_EQ(backgroundSession->configuration().identifier(), "lib.upload");
  EXPECT_FALSE(session->configuration().identifier());
  EXPECT_EQ(session->configuration().HTTPMaximumConnectionsPerHost(), 30);
  for (int i = 0; i < 3; ++i) {
    backgroundSession->downloadTaskWithRequest(request(url("/a")))->resume();
  }
  session->dataTaskWithRequest(request(url("/a")))->resume();
  ASSERT_TRUE(background->waitForCompletions(3));
  ASSERT_TRUE(recorder->waitForCompletions(1));
  ASSERT_TRUE(finished.wait());
  EXPECT_TRUE(leftOver.empty());
  backgroundSession.reset();
  EXPECT_GE(background->backgroundEventsFinished(), 1);
  EXPECT_EQ(recorder->backgroundEventsFinished(), 0) << "default sessions never say it";
  EXPECT_EQ(background->offQueueEvents(), 0);
}

TEST_F(URLSessionTest, ADelegateStartsFurtherTasksFromItsCallbacks) {
  for (int page = 1; page <= 5; ++page) {
    server.script("GET", "/list/" + std::to_string(page), Answer{.body = std::to_string(page)});
  }
  server.script("GET", "/side", Answer{.body = "side"});
  testsupport::Latch lastPage;
  std::shared_ptr<tq::URLSessionDataTask> side;
  // The next page starts from the completion of the previous one, as listings do.
  recorder->onEvent = [&](tq::URLSession& s, const auto& task, const std::string& event, auto&) {
    const std::string path = task->originalRequest().url()->path();
    if (event != "complete" || path.rfind("/list/", 0) != 0) {
      return;
    }
    const int page = std::stoi(path.substr(6));
    if (page == 5) {
      lastPage.countDown();
      return;
    }
    s.dataTaskWithRequest(request(url("/list/" + std::to_string(page + 1))))->resume();
  };
  // A task started while a response waits for its disposition.
  recorder->onResponse = [&](const auto& task, auto&) {
    if (task->taskIdentifier() == 1) {
      side = session->dataTaskWithRequest(request(url("/side")));
      side->resume();
    }
    return true;
  };
  session->dataTaskWithRequest(request(url("/list/1")))->resume();
  ASSERT_TRUE(lastPage.wait());
  ASSERT_TRUE(recorder->waitForCompletions(6));
  EXPECT_EQ(recorder->record(side->taskIdentifier()).body, "side");
  for (uint64_t id = 1; id <= 6; ++id) {
    EXPECT_FALSE(recorder->record(id).error) << id;
  }
}

}  // namespace
