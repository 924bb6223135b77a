#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "testserver/Sha256.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

std::string patternBytes(int64_t offset, size_t size) {
  std::string bytes(size, '\0');
  fillPattern(offset, bytes.data(), size);
  return bytes;
}

struct AnswerCase {
  const char* reason;
  Answer answer;
  bool answered;  // false: the client must see the exchange fail
  int status = 200;
  std::string body;
  int64_t patternSize = -1;  // >= 0: the body must be this much of the pattern instead
  bool chunked = false;
  std::vector<std::pair<std::string, std::string>> headers;  // expected, in order per name
};

TEST(TestServer, ScriptedAnswersReachTheClientAsScripted) {
  const std::vector<AnswerCase> cases = {
      {"a plain body keeps its status and repeated headers, and is JSON by default",
       Answer{.status = 418, .headers = {{"X-Tag", "a"}, {"X-Tag", "b"}}, .body = R"({"k":1})"},
       true,
       418,
       R"({"k":1})",
       -1,
       false,
       {{"X-Tag", "a"}, {"X-Tag", "b"}, {"Content-Type", "application/json"}}},
      {"a scripted Content-Type replaces the default instead of doubling it",
       Answer{.headers = {{"content-type", "text/plain"}}, .body = "x"},
       true,
       200,
       "x",
       -1,
       false,
       {{"Content-Type", "text/plain"}}},
      {"pieces arrive whole, empty ones skipped, announced by Content-Length",
       Answer{.pieces = {"ab", "", "cd"}},
       true,
       200,
       "abcd",
       -1,
       false,
       {}},
      {"pieces without Content-Length go out chunked",
       Answer{.pieces = {"ab", "cd"}, .sendContentLength = false},
       true,
       200,
       "abcd",
       -1,
       true,
       {}},
      {"a generated body is the pattern, across the 1 MiB blocks it is produced in",
       Answer{.generatedBodySize = (int64_t{2} << 20) + 77},
       true,
       200,
       "",
       (int64_t{2} << 20) + 77,
       false,
       {}},
      {"an empty generated body is an empty answer",
       Answer{.generatedBodySize = 0},
       true,
       200,
       "",
       0,
       false,
       {{"Content-Type", "application/octet-stream"}}},
      {"a generated body can go chunked",
       Answer{.generatedBodySize = 100003, .sendContentLength = false},
       true,
       200,
       "",
       100003,
       true,
       {}},
      {"an abrupt close without pieces sends nothing at all",
       Answer{.body = "{}", .closeAbruptly = true}, false},
      {"an abrupt close with pieces stops before the last piece",
       Answer{.pieces = {"ab", "cd"}, .closeAbruptly = true}, false},
      {"an abrupt close of a chunked generated body leaves out the terminating chunk",
       Answer{.generatedBodySize = 4096, .sendContentLength = false, .closeAbruptly = true}, false},
  };
  TestServer server;
  httplib::Client client(server.baseURL());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    server.script("GET", "/scripted", c.answer);
    const auto result = client.Get("/scripted");
    ASSERT_EQ(static_cast<bool>(result), c.answered) << httplib::to_string(result.error());
    if (!c.answered) {
      continue;
    }
    EXPECT_EQ(result->status, c.status);
    if (c.patternSize >= 0) {
      EXPECT_EQ(static_cast<int64_t>(result->body.size()), c.patternSize);
      EXPECT_EQ(Sha256::hex(result->body), patternSha256(c.patternSize));
    } else {
      EXPECT_EQ(result->body, c.body);
    }
    EXPECT_EQ(result->has_header("Content-Length"), !c.chunked);
    EXPECT_EQ(result->get_header_value("Transfer-Encoding"), c.chunked ? "chunked" : "");
    std::map<std::string, std::vector<std::string>> expected;
    for (const auto& [name, value] : c.headers) {
      expected[name].push_back(value);
    }
    for (const auto& [name, values] : expected) {
      std::vector<std::string> received;
      for (auto [it, end] = result->headers.equal_range(name); it != end; ++it) {
        received.push_back(it->second);
      }
      EXPECT_EQ(received, values) << name;
    }
  }
  EXPECT_EQ(server.requests("/scripted").size(), cases.size()) << "abrupt answers are logged too";
}

TEST(TestServer, AnswersComeFromQueueThenScriptThenNewestRouteThen404) {
  TestServer server;
  auto answerWith = [](const std::string& text) {
    return [text](const httplib::Request&, httplib::Response& response) {
      response.set_content(text, "text/plain");
    };
  };
  server.route("GET", "/items/.*", answerWith("any item"));
  server.route("GET", "/items/special", answerWith("special item"));
  server.route("GET", "/items/(\\d+)", [](const httplib::Request& request, httplib::Response& r) {
    r.set_content("number " + request.matches[1].str(), "text/plain");
  });
  server.script("GET", "/items/scripted", Answer{.body = "script"});
  server.scriptOnce("GET", "/items/scripted", Answer{.body = "once 1"});
  server.scriptOnce("GET", "/items/scripted", Answer{.body = "once 2"});

  struct Step {
    const char* reason;
    const char* method;
    const char* target;
    int status;
    std::string body;
  };
  const std::vector<Step> steps = {
      {"queued answers come first, in order", "GET", "/items/scripted", 200, "once 1"},
      {"the queue is consumed per request", "GET", "/items/scripted", 200, "once 2"},
      {"then the script answers, again and again", "GET", "/items/scripted", 200, "script"},
      {"the script stays", "GET", "/items/scripted", 200, "script"},
      {"the newest matching route wins over an older, wider one", "GET", "/items/special", 200,
       "special item"},
      {"a route's pattern groups reach the handler", "GET", "/items/42", 200, "number 42"},
      {"an older route still answers what newer ones do not match", "GET", "/items/x", 200,
       "any item"},
      {"patterns match the decoded path, not the raw target", "GET", "/items/%34%32?q=1", 200,
       "number 42"},
      {"HEAD borrows the GET script", "HEAD", "/items/scripted", 200, ""},
      {"another method is not routed", "DELETE", "/items/42", 404,
       R"({"error":"no route","method":"DELETE","path":"/items/42"})"},
  };
  httplib::Client client(server.baseURL());
  for (const auto& step : steps) {
    SCOPED_TRACE(step.reason);
    const std::string method = step.method;
    const auto result = method == "GET"    ? client.Get(step.target)
                        : method == "HEAD" ? client.Head(step.target)
                                           : client.Delete(step.target);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, step.status);
    EXPECT_EQ(result->body, step.body);
  }

  server.clearScripts();
  EXPECT_EQ(client.Get("/items/scripted")->body, "any item") << "routes stay after clearScripts";
  server.route("GET", "/items/.*", answerWith("replaced"));
  EXPECT_EQ(client.Get("/items/special")->body, "replaced")
      << "registering a pattern again replaces it and makes it the newest";
}

TEST(TestServer, LogKeepsTheRequestAsSent) {
  TestServer server;
  server.route("POST", "/fails", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("half-built", "text/plain");
    throw std::runtime_error("handler fault");
  });
  httplib::Client client(server.baseURL());
  const httplib::Headers headers = {{"X-Rep", "1"}, {"x-rep", "2"}};
  const auto missing = client.Post("/a%20b?x=1&y=%26", headers, "hello", "text/plain");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  const auto failed = client.Post("/fails", "{}", "application/json");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 500) << "a throwing handler is answered, not fatal";
  EXPECT_EQ(failed->body.find("half-built"), std::string::npos);
  EXPECT_NE(failed->body.find("handler fault"), std::string::npos);

  ASSERT_TRUE(server.waitForRequests(2, std::chrono::seconds(60)));
  const auto log = server.requests();
  ASSERT_EQ(log.size(), 2U);
  const LoggedRequest& first = log[0];
  EXPECT_EQ(first.method, "POST");
  EXPECT_EQ(first.target, "/a%20b?x=1&y=%26");
  EXPECT_EQ(first.path, "/a b");
  EXPECT_EQ(first.headerCount("X-REP"), 2U);
  EXPECT_EQ(first.header("x-rep"), "1") << "repeated headers keep their order";
  EXPECT_EQ(first.header("Content-Type"), "text/plain");
  EXPECT_FALSE(first.header("REMOTE_ADDR")) << "httplib's own entries are not headers";
  EXPECT_EQ(first.body, "hello");
  EXPECT_EQ(first.bodyLength, 5);
  EXPECT_EQ(first.bodySha256, Sha256::hex("hello"));
  EXPECT_EQ(log[1].path, "/fails");
  EXPECT_EQ(server.requests("/fails").size(), 1U);
  server.clearLog();
  EXPECT_TRUE(server.requests().empty());
}

TEST(TestServer, UploadsAreHashedWhileTheyStream) {
  struct UploadCase {
    const char* reason;
    int64_t size;
    bool chunked;
    bool logged;   // the log keeps the text
    bool handled;  // the handler sees the whole body
  };
  const std::vector<UploadCase> cases = {
      {"an empty body", 0, false, true, true},
      {"the largest body the log keeps", kLoggedBodyLimit, false, true, true},
      {"one byte more goes to the handler only", kLoggedBodyLimit + 1, false, false, true},
      {"the largest body a handler sees", kHandlerBodyLimit, false, false, true},
      {"a larger one is only hashed", kHandlerBodyLimit + 1, false, false, false},
      {"a chunked body of unannounced length, kept while it fits", 3 << 20, true, false, true},
      {"a chunked body past the handler limit", kHandlerBodyLimit + 5, true, false, false},
  };
  TestServer server;
  server.route("PUT", "/upload", [](const httplib::Request& request, httplib::Response& response) {
    const std::string_view body = TestServer::currentBody();
    const nlohmann::json seen = {{"requestBody", request.body.size()},
                                 {"handlerBody", body.size()},
                                 {"handlerSha256", Sha256::hex(body)}};
    response.set_content(seen.dump(), "application/json");
  });
  httplib::Client client(server.baseURL());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    server.clearLog();
    const auto size = static_cast<size_t>(c.size);
    auto provide = [&](size_t offset, size_t length, httplib::DataSink& sink) {
      const std::string bytes =
          patternBytes(static_cast<int64_t>(offset), std::min<size_t>(length, 300000));
      return sink.write(bytes.data(), bytes.size());
    };
    const auto result = c.chunked
                            ? client.Put(
                                  "/upload",
                                  [&](size_t offset, httplib::DataSink& sink) {
                                    if (offset == size) {
                                      sink.done();
                                      return true;
                                    }
                                    return provide(offset, size - offset, sink);
                                  },
                                  "application/octet-stream")
                            : client.Put("/upload", size, provide, "application/octet-stream");
    ASSERT_TRUE(result);
    const std::string digest = patternSha256(c.size);
    const auto seen = nlohmann::json::parse(result->body);
    EXPECT_EQ(seen["requestBody"], c.logged ? c.size : 0);
    EXPECT_EQ(seen["handlerBody"], c.handled ? c.size : 0);
    EXPECT_EQ(seen["handlerSha256"], c.handled ? digest : Sha256::hex(""));
    const auto log = server.requests("/upload");
    ASSERT_EQ(log.size(), 1U);
    EXPECT_EQ(log[0].bodyLength, c.size);
    EXPECT_EQ(log[0].bodySha256, digest);
    EXPECT_TRUE(log[0].bodyComplete);
    EXPECT_EQ(log[0].body.size(), c.logged ? size : 0U);
  }
}

TEST(Pattern, PiecesAtAnyOffsetMakeTheSameBytes) {
  const std::string whole = patternBytes(0, 100);
  std::string pieced;
  const std::pair<int64_t, size_t> pieces[] = {{0, 3}, {3, 8}, {11, 1}, {12, 29}, {41, 59}};
  for (const auto& [offset, size] : pieces) {
    pieced += patternBytes(offset, size);
  }
  EXPECT_EQ(pieced, whole);
  EXPECT_NE(patternBytes(int64_t{1} << 20, 100), whole) << "no repetition at a chunk size";
  EXPECT_EQ(patternSha256(100), Sha256::hex(whole));
}

}  // namespace
}  // namespace testserver
