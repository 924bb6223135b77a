// The headless web view: it asks before every navigation and redirect, never follows what its
// delegate refuses nor anything but HTTP(S), and reads the links of the pages it shows.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/HeadlessWebView.h"
#include "tests/support/TestSupport.h"
#include "testserver/TestServer.h"

namespace {

using tq::HeadlessWebView;

// Answers shouldStartLoad from a rule and records every callback in order.
class RecordingDelegate : public tq::WebViewDelegate {
 public:
  explicit RecordingDelegate(std::function<bool(const tq::URL&)> allow)
      : allow_(std::move(allow)) {}

  bool shouldStartLoad(tq::WebView& /*webView*/, const tq::URL& url) override {
    record("ask " + url.path());
    return allow_(url);
  }
  void didStartLoad(tq::WebView& /*webView*/) override { record("start"); }
  void didFinishLoad(tq::WebView& /*webView*/) override { record("finish", true); }
  void didFailLoad(tq::WebView& /*webView*/, const tq::URLError& error) override {
    record("fail " + std::to_string(error.code()), true);
  }

  bool waitForEnd() {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, testsupport::kTimeout, [this] { return ends_ > 0; });
  }
  std::vector<std::string> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  void record(std::string event, bool end = false) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    if (end) {
      ++ends_;
      ended_.notify_all();
    }
  }

  std::function<bool(const tq::URL&)> allow_;
  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<std::string> events_;
  int ends_ = 0;
};

struct RedirectCase {
  const char* reason;
  const char* location;  // where /start redirects
  bool allowTarget;
  std::vector<std::string> events;
  int targetRequests;
};

void PrintTo(const RedirectCase& c, std::ostream* out) { *out << c.reason; }

class Redirects : public ::testing::TestWithParam<RedirectCase> {
 protected:
  testserver::TestServer server_;
};

TEST_P(Redirects, AreFollowedOnlyWhenTheDelegateAllows) {
  const auto& c = GetParam();
  server_.script("GET", "/start",
                 testserver::Answer{.status = 302, .headers = {{"Location", c.location}}});
  server_.script(
      "GET", "/target",
      testserver::Answer{.headers = {{"Content-Type", "text/html"}}, .body = "<p>here</p>"});
  auto delegate = std::make_shared<RecordingDelegate>(
      [&c](const tq::URL& url) { return url.path() != "/target" || c.allowTarget; });
  const auto view = HeadlessWebView::create();
  view->setDelegate(delegate);
  view->loadURL(*tq::URL::URLWithString(server_.baseURL() + "/start"));
  ASSERT_TRUE(delegate->waitForEnd());

  EXPECT_EQ(delegate->events(), c.events) << c.reason;
  EXPECT_EQ(static_cast<int>(server_.requests("/target").size()), c.targetRequests) << c.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Redirects,
    ::testing::Values(RedirectCase{"an allowed redirect is followed",
                                   "/target",
                                   true,
                                   {"ask /start", "start", "ask /target", "finish"},
                                   1},
                      RedirectCase{"a refused redirect ends the load unfollowed",
                                   "/target",
                                   false,
                                   {"ask /start", "start", "ask /target", "fail -999"},
                                   0},
                      RedirectCase{"a redirect to a local file is never loaded",
                                   "file:///etc/passwd",
                                   true,
                                   {"ask /start", "start", "ask /etc/passwd", "fail -1002"},
                                   0}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(HeadlessWebViewTest, ARefusedLoadStartsNothing) {
  testserver::TestServer server;
  auto delegate = std::make_shared<RecordingDelegate>([](const tq::URL&) { return false; });
  const auto view = HeadlessWebView::create();
  view->setDelegate(delegate);
  view->loadURL(*tq::URL::URLWithString(server.baseURL() + "/start"));
  ASSERT_TRUE(testsupport::eventually([&] { return !delegate->events().empty(); }));
  EXPECT_TRUE(testsupport::eventually([&] { return !view->isLoading(); }));
  EXPECT_EQ(delegate->events(), std::vector<std::string>{"ask /start"});
  EXPECT_TRUE(server.requests().empty());
}

TEST(HeadlessWebViewTest, FollowsALinkOfThePageByItsID) {
  testserver::TestServer server;
  server.script(
      "GET", "/page",
      testserver::Answer{
          .headers = {{"Content-Type", "text/html"}},
          .body = R"(<a href="/other">x</a> <a id="go" href="/next?a=1&amp;b=2">go</a>)"});
  server.script("GET", "/next", testserver::Answer{.body = "done"});
  auto delegate = std::make_shared<RecordingDelegate>([](const tq::URL&) { return true; });
  const auto view = HeadlessWebView::create();
  view->setDelegate(delegate);
  testsupport::Latch pages(2);
  view->setLoadObserver([&pages](HeadlessWebView& page, const HeadlessWebView::LoadEvent& event) {
    if (event.url && event.url->path() == "/page") {
      EXPECT_FALSE(page.followLink("missing"));
      EXPECT_TRUE(page.followLink("go"));
    }
    pages.countDown();
  });
  view->loadURL(*tq::URL::URLWithString(server.baseURL() + "/page"));
  ASSERT_TRUE(pages.wait());
  const auto next = server.requests("/next");
  ASSERT_EQ(next.size(), 1U);
  EXPECT_EQ(next.front().target, "/next?a=1&b=2");
  EXPECT_TRUE(server.requests("/other").empty());
}

struct LinkCase {
  const char* reason;
  const char* html;
  std::vector<std::pair<std::string, std::string>> links;  // id, absolute URL
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.reason; }

class Links : public ::testing::TestWithParam<LinkCase> {};

TEST_P(Links, AreReadWithTheirAddressesResolved) {
  const auto& c = GetParam();
  const auto base = tq::URL::URLWithString("http://host.example:8080/dir/page?x=1");
  ASSERT_TRUE(base);
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& link : HeadlessWebView::parseLinks(c.html, *base)) {
    found.emplace_back(link.id, link.url.absoluteString());
  }
  EXPECT_EQ(found, c.links) << c.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Links,
    ::testing::Values(
        LinkCase{"absolute, with character references",
                 R"(<a id="approve" href="app://cb/?code=a&amp;b&#61;c">Allow</a>)",
                 {{"approve", "app://cb/?code=a&b=c"}}},
        LinkCase{
            "relative forms",
            R"(<a href="/root"></a><a href="?q=2"></a><a href="sub/leaf"></a><a href="//other.example/p"></a>)",
            {{"", "http://host.example:8080/root"},
             {"", "http://host.example:8080/dir/page?q=2"},
             {"", "http://host.example:8080/dir/sub/leaf"},
             {"", "http://other.example/p"}}},
        LinkCase{"unquoted and single-quoted values, any letter case",
                 "<A ID=deny HREF='/no'>x</A><a\nhref=/yes id=ok>",
                 {{"deny", "http://host.example:8080/no"}, {"ok", "http://host.example:8080/yes"}}},
        LinkCase{
            "not links: comments, other tags, anchors without an address",
            R"(<!-- <a href="/hidden"> --><abbr href="/abbr"></abbr><a id="x">x</a><area href="/map">)",
            {}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
