#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/Platform/URLRequest.h"

namespace {

using tq::URL;

TEST(URL, BuildsValidURLsFromRawText) {
  struct Case {
    const char* reason;
    std::string text;
    std::optional<std::string> absolute;  // nullopt: not a URL
  };
  const std::vector<Case> cases = {
      {"already valid text stays as it is", "https://h.example/a/b?x=1&y=%41#top",
       "https://h.example/a/b?x=1&y=%41#top"},
      {"spaces in path and query become %20, never '+'", "http://h/My Files/a b.txt?q=a b",
       "http://h/My%20Files/a%20b.txt?q=a%20b"},
      {"control characters are escaped, not refused", std::string("http://h/a\tb\x01"),
       "http://h/a%09b%01"},
      {"non-ASCII bytes are escaped as UTF-8", "http://h/\xc3\xbc.txt?n=\xe2\x82\xac",
       "http://h/%c3%bc.txt?n=%e2%82%ac"},
      {"existing escapes are not escaped twice", "http://h/a%20b/%E2%82%AC",
       "http://h/a%20b/%E2%82%AC"},
      {"reserved characters of a formed URL stay", "http://h/a;b=c/d@e:f?g=h/i&j=k%26l",
       "http://h/a;b=c/d@e:f?g=h/i&j=k%26l"},
      {"dot segments are kept", "http://h/a/../b/./c", "http://h/a/../b/./c"},
      {"a URL without a path gets /", "http://h:8080", "http://h:8080/"},
      {"a literal plus stays a plus", "http://h/a+b?c+d", "http://h/a+b?c+d"},
      {"a custom scheme parses", "quenlar://callback?code=1", "quenlar://callback/?code=1"},
      {"text without a scheme is not a URL", "(null)/files/list", std::nullopt},
      {"empty text is not a URL", "", std::nullopt},
      {"a space in the host is not a URL", "http://exa mple.com/x", std::nullopt},
      {"a port out of range is not a URL", "http://h:65536/", std::nullopt},
      {"a NUL in path and query is escaped, not an end", std::string("http://h/a\0b?q=\0r", 17),
       "http://h/a%00b?q=%00r"},
      {"a NUL in the host is not a URL, nor the URL of the host before it",
       std::string("http://h\0.evil/x", 16), std::nullopt},
  };
  for (const auto& c : cases) {
    const auto url = URL::URLWithString(c.text);
    ASSERT_EQ(url.has_value(), c.absolute.has_value()) << c.reason;
    if (url) {
      EXPECT_EQ(url->absoluteString(), *c.absolute) << c.reason;
    }
  }
}

TEST(URL, AnswersItsParts) {
  struct Case {
    const char* reason;
    std::string text;
    std::string scheme, host;
    std::optional<int> port;
    std::string path;
    std::optional<std::string> query;
    std::string lastPathComponent;
  };
  const std::vector<Case> cases = {
      {"plain", "https://api.example.com/v1/files?limit=5", "https", "api.example.com",
       std::nullopt, "/v1/files", "limit=5", "files"},
      {"explicit port", "http://127.0.0.1:8080/a/b.txt", "http", "127.0.0.1", 8080, "/a/b.txt",
       std::nullopt, "b.txt"},
      {"path and last component are decoded", "http://h/dir/My%20File%C3%BC.txt?x=%20", "http", "h",
       std::nullopt, "/dir/My File\xc3\xbc.txt", "x=%20", "My File\xc3\xbc.txt"},
      {"a raw name decodes back to itself", "http://h/d/a b\xc3\xbc.txt", "http", "h", std::nullopt,
       "/d/a b\xc3\xbc.txt", std::nullopt, "a b\xc3\xbc.txt"},
      {"trailing slash is not a component", "http://h/a/b/", "http", "h", std::nullopt, "/a/b",
       std::nullopt, "b"},
      {"root", "http://h/", "http", "h", std::nullopt, "/", std::nullopt, "/"},
      {"empty query is still a query", "http://h/p?", "http", "h", std::nullopt, "/p", "", "p"},
      {"an encoded slash stays inside its component", "http://h/a%2Fb", "http", "h", std::nullopt,
       "/a/b", std::nullopt, "a/b"},
  };
  for (const auto& c : cases) {
    const auto url = URL::URLWithString(c.text);
    ASSERT_TRUE(url) << c.reason;
    EXPECT_EQ(url->scheme(), c.scheme) << c.reason;
    EXPECT_EQ(url->host(), c.host) << c.reason;
    EXPECT_EQ(url->port(), c.port) << c.reason;
    EXPECT_EQ(url->path(), c.path) << c.reason;
    EXPECT_EQ(url->query(), c.query) << c.reason;
    EXPECT_EQ(url->lastPathComponent(), c.lastPathComponent) << c.reason;
    EXPECT_FALSE(url->isFileURL()) << c.reason;
  }
}

TEST(URL, FileURLsRoundTripTheirPath) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"plain", "/tmp/downloads/file.bin"},
      {"spaces", "/tmp/My Documents/a b.txt"},
      {"percent and hash are data, not syntax", "/tmp/100%/a#b?c.txt"},
      {"non-ASCII", "/tmp/\xc3\xbc\xe2\x82\xac/\xe6\x97\xa5.txt"},
      {"a NUL is data, not the end of the path", std::string("/tmp/a\0b/c\0", 11)},
  };
  for (const auto& [reason, path] : cases) {
    const URL url = URL::fileURLWithPath(path);
    EXPECT_TRUE(url.isFileURL()) << reason;
    EXPECT_EQ(url.path(), path) << reason;
    EXPECT_EQ(url.lastPathComponent(), std::filesystem::path(path).filename().string()) << reason;
    const auto reparsed = URL::URLWithString(url.absoluteString());
    ASSERT_TRUE(reparsed) << reason;
    EXPECT_EQ(reparsed->path(), path) << reason;
  }
  EXPECT_EQ(URL::fileURLWithPath("/tmp/a b").absoluteString(), "file:///tmp/a%20b");
  EXPECT_EQ(URL::fileURLWithPath("relative.txt").path(),
            (std::filesystem::current_path() / "relative.txt").string());
}

TEST(URL, AppendsPathComponents) {
  struct Case {
    const char* reason;
    std::string base;
    std::string component;
    std::string absolute;
  };
  const std::vector<Case> cases = {
      {"adds a slash", "http://h/a", "b c.txt", "http://h/a/b%20c.txt"},
      {"no double slash", "http://h/a/", "b", "http://h/a/b"},
      {"query is kept", "http://h/a?x=1", "b", "http://h/a/b?x=1"},
      {"characters that are syntax get escaped", "http://h/a", "c?d#e%f",
       "http://h/a/c%3fd%23e%25f"},
      {"a slash inside separates segments", "http://h/a", "b/c", "http://h/a/b/c"},
      {"file URLs", "file:///docs", "\xc3\xbc.txt", "file:///docs/%c3%bc.txt"},
      {"a NUL is escaped, not an end", "http://h/a", std::string("x\0y", 3), "http://h/a/x%00y"},
      {"a leading NUL keeps what follows", "http://h/a?q", std::string("\0../z", 5),
       "http://h/a/%00../z?q"},
      {"unreserved characters stay as they are", "http://h", "aZ09-._~", "http://h/aZ09-._~"},
  };
  for (const auto& c : cases) {
    const auto base = URL::URLWithString(c.base);
    ASSERT_TRUE(base) << c.reason;
    EXPECT_EQ(base->URLByAppendingPathComponent(c.component).absoluteString(), c.absolute)
        << c.reason;
  }
  const URL document = URL::fileURLWithPath("/docs").URLByAppendingPathComponent("a b%.txt");
  EXPECT_EQ(document.path(), "/docs/a b%.txt");
  EXPECT_EQ(document.lastPathComponent(), "a b%.txt");
  const std::string withNul("n\0ul", 4);
  EXPECT_EQ(URL::fileURLWithPath("/docs").URLByAppendingPathComponent(withNul).lastPathComponent(),
            withNul);
}

TEST(URLRequest, KeepsHeaderFieldsInOrderAndJoinsRepeats) {
  tq::URLRequest request(URL::URLWithString("http://h/"));
  EXPECT_EQ(request.HTTPMethod(), "GET");
  EXPECT_FALSE(request.HTTPBody());
  request.addValue("Bearer t", "Authorization");
  request.addValue("application/json", "Accept");
  request.addValue("text/plain", "accept");  // same field, other spelling
  request.setValue("1", "X-Second");
  request.setValue("2", "x-second");  // replaces in place
  request.addValue("ua", "User-Agent");
  const tq::HTTPHeaderFields expected = {{"Authorization", "Bearer t"},
                                         {"Accept", "application/json, text/plain"},
                                         {"X-Second", "2"},
                                         {"User-Agent", "ua"}};
  EXPECT_EQ(request.allHTTPHeaderFields(), expected);
  EXPECT_EQ(request.valueForHTTPHeaderField("ACCEPT"), "application/json, text/plain");
  request.setValue(std::nullopt, "accept");
  EXPECT_FALSE(request.valueForHTTPHeaderField("Accept"));
  EXPECT_EQ(request.allHTTPHeaderFields().size(), 3U);
}

TEST(HTTPURLResponse, LooksUpFieldsWithoutCaseAndReadsTheAnnouncedLength) {
  struct Case {
    const char* reason;
    tq::HTTPHeaderFields headers;
    int64_t expectedLength;
  };
  const std::vector<Case> cases = {
      {"announced length", {{"Content-Length", "42"}}, 42},
      {"no length", {}, -1},
      {"chunked overrides a length",
       {{"Transfer-Encoding", "chunked"}, {"Content-Length", "5"}},
       -1},
      {"garbage length", {{"Content-Length", "12abc"}}, -1},
      {"negative length", {{"Content-Length", "-3"}}, -1},
      {"zero", {{"content-length", "0"}}, 0},
  };
  for (const auto& c : cases) {
    const tq::HTTPURLResponse response(*URL::URLWithString("http://h/"), 200, c.headers);
    EXPECT_EQ(response.expectedContentLength(), c.expectedLength) << c.reason;
  }
  const tq::HTTPURLResponse response(
      *URL::URLWithString("http://h/"), 201,
      {{"X-Header-Etag", "abc"}, {"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}});
  EXPECT_EQ(response.statusCode(), 201);
  EXPECT_EQ(response.valueForHTTPHeaderField("X-Header-ETag"), "abc");
  EXPECT_EQ(response.valueForHTTPHeaderField("set-cookie"), "a=1, b=2");
  EXPECT_FALSE(response.valueForHTTPHeaderField("ETag"));
}

TEST(URLError, MapsTransportFailuresToThePlatformsCodes) {
  // libcurl's result codes by number (its header stays inside the platform layer).
  struct Case {
    const char* name;
    int curlCode;
    int64_t code;
  };
  const std::vector<Case> cases = {
      {"couldn't connect", 7, tq::URLError::CannotConnectToHost},
      {"couldn't resolve host", 6, tq::URLError::CannotFindHost},
      {"operation timed out", 28, tq::URLError::TimedOut},
      {"partial file", 18, tq::URLError::NetworkConnectionLost},
      {"got nothing", 52, tq::URLError::NetworkConnectionLost},
      {"receive error", 56, tq::URLError::NetworkConnectionLost},
      {"URL malformed", 3, tq::URLError::BadURL},
      {"unsupported protocol", 1, tq::URLError::UnsupportedURL},
      {"TLS connect error", 35, tq::URLError::SecureConnectionFailed},
      {"peer failed verification", 60, tq::URLError::ServerCertificateUntrusted},
      {"weird server reply", 8, tq::URLError::BadServerResponse},
      {"out of memory", 27, tq::URLError::Unknown},
  };
  for (const auto& c : cases) {
    const auto error = tq::URLError::fromCurlCode(c.curlCode);
    EXPECT_EQ(error.code(), c.code) << c.name;
    EXPECT_EQ(error.domain(), "NSURLErrorDomain");
    EXPECT_FALSE(error.localizedDescription().empty());
  }
}

}  // namespace
