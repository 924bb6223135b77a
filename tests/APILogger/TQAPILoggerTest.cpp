// The logger hub and the console logger against real calls: the lines written at each level, and
// the credentials that never appear in any of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"
#include "QuenlarCloudAPI/APILogger/TQAPILogger.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/API/APITestCalls.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ServerFixture.h"

namespace {

using testserver::Answer;
using testsupport::Latch;

// Collects a console logger's lines.
struct Lines {
  std::mutex mutex;
  std::vector<std::string> lines;

  TQAPIConsoleLoggerSink sink() {
    return [this](std::string_view line) {
      std::lock_guard lock(mutex);
      lines.emplace_back(line);
    };
  }
  // Every line but the release messages, which arrive whenever the last holder lets a call go.
  std::vector<std::string> written() {
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [](const std::string& l) { return l.find("API released") == std::string::npos; });
    return out;
  }
};

// A line pattern: exact, or a prefix when it ends in '*'.
bool matches(const std::string& line, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*') {
    return line.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
  }
  return line == pattern;
}

// Whether `written` is the lines of `events` (each event's lines in order, kept together), the
// events in any order: a fast answer's completion may be announced before its start.
bool matchesEvents(const std::vector<std::string>& written,
                   const std::vector<std::vector<std::string>>& events) {
  std::vector<bool> used(events.size(), false);
  size_t at = 0;
  while (at < written.size()) {
    bool found = false;
    for (size_t e = 0; e < events.size() && !found; ++e) {
      const auto& event = events[e];
      if (used[e] || at + event.size() > written.size()) {
        continue;
      }
      found = std::equal(event.begin(), event.end(), written.begin() + static_cast<long>(at),
                         [](const std::string& pattern, const std::string& line) {
                           return matches(line, pattern);
                         });
      if (found) {
        used[e] = true;
        at += event.size();
      }
    }
    if (!found) {
      return false;
    }
  }
  return std::all_of(used.begin(), used.end(), [](bool u) { return u; });
}

class TQAPILoggerTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn("SECRET-BEARER");
    logger = TQAPILogger::create();
    logger->removeAllLogger();
    console = std::make_shared<TQAPIConsoleLogger>();
    console->setSink(lines.sink());
    logger->addLogger(console);
    logger->startLogging();
  }

  void TearDown() override {
    logger->stopLogging();
    ServerFixture::TearDown();
  }

  // Runs one call through the facade's single-call road and waits until the host has heard.
  void run(const std::shared_ptr<TQTestAPIParams>& params) {
    Latch done;
    TQAPISDK::sharedInstance()->startSingleCall<TQTestAPI>(
        params, [&](const std::shared_ptr<TQAPIQueryResponse>&) { done.countDown(); });
    ASSERT_TRUE(done.wait());
    // The completion notification is queued on the main queue before the host's handler.
    drainMainQueue();
  }

  std::string url(const std::string& pathAndQuery) { return server().baseURL() + pathAndQuery; }

  Lines lines;
  std::shared_ptr<TQAPILogger> logger;
  std::shared_ptr<TQAPIConsoleLogger> console;
};

TEST_F(TQAPILoggerTest, LinesAtEachLevelWithoutCredentials) {
  server().script("GET", "/cloud/1/log",
                  Answer{.headers = {{"Set-Cookie", "session=SECRET-COOKIE"},
                                     {"X-Session-Token", "SECRET-SESSION"},
                                     {"Content-Location", "http://user:SECRET-USERINFO@h/x"}},
                         .body = R"({"access_token":"SECRET-ANSWER","name":"n"})"});
  server().script("GET", "/cloud/1/fail", Answer{.status = 500, .body = R"({"error":"e"})"});
  server().script("GET", "/cloud/1/broken", Answer{.closeAbruptly = true});
  server().script("POST", "/cloud/1/oauth2/token",
                  Answer{.body = R"({"access_token":"SECRET-T","refresh_token":"SECRET-R"})"});
  server().script("POST", "/cloud/1/post", Answer{.status = 201, .body = "{}"});

  const auto get = [](const std::string& pathAndQuery) {
    auto params = std::make_shared<TQTestAPIParams>();
    params->path = pathAndQuery;
    params->headers = {{"Authorization", "Bearer SECRET-BEARER"}, {"Accept", "application/json"}};
    return params;
  };
  const auto post = [](const std::string& pathAndQuery, const std::string& body,
                       const std::string& type) {
    auto params = std::make_shared<TQTestAPIParams>();
    params->method = "POST";
    params->path = pathAndQuery;
    params->headers = {{"authorization", "Bearer SECRET-BEARER"}, {"Content-Type", type}};
    params->body = body;
    return params;
  };
  auto secretHeaders =
      post("/cloud/1/post", R"({"user":{"password":"SECRET-P","accessToken":"SECRET-AT"}})",
           "application/json");
  secretHeaders->headers.set("X-Access-Token", "SECRET-XAT");
  secretHeaders->headers.set("X-Api-Key", "SECRET-KEY");
  const std::string deepBody = std::string(100000, '[') + std::string(100000, ']');
  const std::string tokenQuery =
      "/cloud/1/oauth2/"
      "token?grant_type=refresh_token&refresh_token=SECRET-Q&Client_Secret=SECRET-S";

  struct Case {
    const char* reason;
    int32_t level;
    std::shared_ptr<TQTestAPIParams> params;
    std::vector<std::vector<std::string>> events;  // each event's line patterns, in order
  };
  const Case cases[] = {
      {"info: the message, method and URL at the start, the status at the end",
       TQAPILogLevelInfo,
       get("/cloud/1/log?code=SECRET-CODE&x=1"),
       {{"[INFO] API started: TQTestAPI"},
        {"[INFO] HTTP Method:GET",
         "[INFO] Request URL:'" + url("/cloud/1/log?code=<redacted>&x=1") + "'"},
        {"[INFO] Status Code:200 "}}},
      {"info: a server error is only a status",
       TQAPILogLevelInfo,
       get("/cloud/1/fail"),
       {{"[INFO] API started: TQTestAPI"},
        {"[INFO] HTTP Method:GET", "[INFO] Request URL:'" + url("/cloud/1/fail") + "'"},
        {"[INFO] Status Code:500 "}}},
      {"debug: headers and body at the start, headers and JSON at the end",
       TQAPILogLevelDebug,
       get("/cloud/1/log?access_token=SECRET-A"),
       {{"[DEBUG] HTTPSHeaders:\nkey = Accept value = application/json\nkey = User-Agent*",
         "[DEBUG] HTTPS Body:(null)"},
        {"[DEBUG] HTTPSHeaders:\nkey = Content-Length*",
         R"([DEBUG] Response:{"access_token":"<redacted>","name":"n"})"}}},
      {"debug: a JSON body is written with its secrets redacted",
       TQAPILogLevelDebug,
       post("/cloud/1/post", R"({"Token":"SECRET-J","keep":"v"})", "application/json"),
       {{"[DEBUG] HTTPSHeaders:\nkey = Content-Type value = application/json*",
         R"([DEBUG] HTTPS Body:{"Token":"<redacted>","keep":"v"})"},
        {"[DEBUG] HTTPSHeaders:\nkey = Content-Length*", "[DEBUG] Response:{}"}}},
      {"debug: the token endpoint's answer is never written",
       TQAPILogLevelDebug,
       post(tokenQuery, "code=SECRET-F&redirect_uri=x", "application/x-www-form-urlencoded"),
       {{"[DEBUG] HTTPSHeaders:\nkey = Content-Type*",
         "[DEBUG] HTTPS Body:code=<redacted>&redirect_uri=x"},
        {"[DEBUG] HTTPSHeaders:\nkey = Content-Length*"}}},
      {"debug: token and key headers are left out, nested passwords redacted",
       TQAPILogLevelDebug,
       secretHeaders,
       {{"[DEBUG] HTTPSHeaders:\nkey = Content-Type value = application/json*",
         R"([DEBUG] HTTPS Body:{"user":{"password":"<redacted>","accessToken":"<redacted>"}})"},
        {"[DEBUG] HTTPSHeaders:\nkey = Content-Length*", "[DEBUG] Response:{}"}}},
      {"debug: a body nested too deep is not shown",
       TQAPILogLevelDebug,
       post("/cloud/1/post", deepBody, "application/json"),
       {{"[DEBUG] HTTPSHeaders:\nkey = Content-Type*", "[DEBUG] HTTPS Body:<body not shown>"},
        {"[DEBUG] HTTPSHeaders:\nkey = Content-Length*", "[DEBUG] Response:{}"}}},
      {"error: a successful call writes nothing", TQAPILogLevelError, get("/cloud/1/log"), {}},
      {"error: a server error without a transport error writes nothing",
       TQAPILogLevelError,
       get("/cloud/1/fail"),
       {}},
      {"error: a transport failure writes four lines",
       TQAPILogLevelError,
       get("/cloud/1/broken"),
       {{"[ERROR] HTTP Method:GET", "[ERROR] Request URL:'(null)'", "[ERROR] Status Code:(0)",
         "[ERROR] Error:Error Domain=NSURLErrorDomain Code=*"}}},
      {"a level beyond the three writes nothing", 3, get("/cloud/1/broken"), {}},
  };
  for (const auto& c : cases) {
    {
      std::lock_guard lock(lines.mutex);
      lines.lines.clear();
    }
    console->setLogLevel(c.level);
    run(c.params);
    const auto written = lines.written();
    EXPECT_TRUE(matchesEvents(written, c.events)) << c.reason << "\n"
                                                  << ::testing::PrintToString(written);
    for (const auto& line : written) {
      EXPECT_EQ(line.find("SECRET"), std::string::npos) << c.reason << ": " << line;
      EXPECT_EQ(line.find("uthorization"), std::string::npos) << c.reason << ": " << line;
    }
  }
}

TEST_F(TQAPILoggerTest, HubStartsStopsAndFansOut) {
  auto& center = tq::NotificationCenter::defaultCenter();
  const auto post = [&](const std::string& text) {
    center.post(TQAPIInfoMessageLogNotification, std::any(text));
  };
  auto second = std::make_shared<TQAPIConsoleLogger>();
  Lines secondLines;
  second->setSink(secondLines.sink());

  logger->stopLogging();
  post("while stopped");
  logger->startLogging();
  logger->startLogging();
  post("after two starts");
  logger->addLogger(second);
  logger->addLogger(second);
  post("to both");
  logger->removeLogger(console);
  post("to the second only");
  logger->removeAllLogger();
  post("to nobody");

  EXPECT_EQ(lines.written(),
            (std::vector<std::string>{"[INFO] after two starts", "[INFO] to both"}));
  EXPECT_EQ(secondLines.written(),
            (std::vector<std::string>{"[INFO] to both", "[INFO] to the second only"}))
      << "a logger added twice is in the set once";
  EXPECT_TRUE(logger->loggers().empty());
}

TEST(TQAPIConsoleLoggerOutput, LinesGoToTheSystemLogAndNeverToStandardOutput) {
  const struct {
    std::function<void(TQAPIConsoleLogger&)> prepare;
    const char* why;
  } cases[] = {
      {[](TQAPIConsoleLogger&) {}, "a new logger"},
      {[](TQAPIConsoleLogger& logger) {
         logger.setSink([](std::string_view) {});
         logger.setSink(nullptr);
       },
       "a host's sink taken away again"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    testsupport::LogCapture systemLog;
    TQAPIConsoleLogger logger;
    c.prepare(logger);
    ::testing::internal::CaptureStdout();
    logger.messageLogger("to the system log");
    const std::string written = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(written, "");
    EXPECT_EQ(systemLog.lines(), std::vector<std::string>{"[INFO] to the system log"});
  }
}

TEST_F(TQAPILoggerTest, SharedHubBeginsWithOneConsoleLoggerAndObservesNothing) {
  const auto shared = TQAPILogger::sharedLogger();
  EXPECT_EQ(shared, TQAPILogger::sharedLogger());
  const auto loggers = shared->loggers();
  ASSERT_EQ(loggers.size(), 1U);
  const auto consoleLogger = std::dynamic_pointer_cast<TQAPIConsoleLogger>(loggers.front());
  ASSERT_NE(consoleLogger, nullptr);
  EXPECT_EQ(consoleLogger->logLevel(), TQAPILogLevelInfo);
  Lines sharedLines;
  consoleLogger->setSink(sharedLines.sink());
  tq::NotificationCenter::defaultCenter().post(TQAPIInfoMessageLogNotification,
                                               std::any(std::string("unseen")));
  EXPECT_TRUE(sharedLines.written().empty()) << "nothing starts the shared hub but the host";
}

}  // namespace
