#include "QuenlarCloudAPI/Platform/HeadlessWebView.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <mutex>
#include <utility>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace tq {
namespace {

constexpr std::size_t kMaximumBodyBytes = std::size_t{1} << 20U;
constexpr int kMaximumRedirects = 20;
// The platform's code for a redirect chain that does not end.
constexpr int64_t kTooManyRedirects = -1007;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isLoadable(const URL& url) { return url.scheme() == "http" || url.scheme() == "https"; }

bool isRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool hasScheme(std::string_view reference) {
  if (reference.empty() || std::isalpha(static_cast<unsigned char>(reference.front())) == 0) {
    return false;
  }
  for (const char c : reference) {
    if (c == ':') {
      return true;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return false;
}

std::string origin(const URL& url) {
  std::string text = url.scheme() + "://";
  const std::string& host = url.host();
  text += host.find(':') != std::string::npos && !host.starts_with('[') ? "[" + host + "]" : host;
  if (const auto port = url.port()) {
    text += ":" + std::to_string(*port);
  }
  return text;
}

// Decodes one character reference starting at text[at] == '&'; answers how many characters it
// used (0 when it is not one this reader knows, so the '&' stays as written).
std::size_t decodeReference(std::string_view text, std::size_t at, std::string& out) {
  const std::size_t end = text.find(';', at);
  if (end == std::string_view::npos || end - at > 10) {
    return 0;
  }
  const std::string_view name = text.substr(at + 1, end - at - 1);
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, character] : kNamed) {
    if (name == entity) {
      out += character;
      return end - at + 1;
    }
  }
  if (name.size() < 2 || name.front() != '#') {
    return 0;
  }
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) {
    return 0;
  }
  uint32_t value = 0;
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0'
                      : hex && std::isxdigit(static_cast<unsigned char>(c)) != 0
                          ? lower(c) - 'a' + 10
                          : -1;
    if (digit < 0) {
      return 0;
    }
    value = std::min<uint32_t>(value * (hex ? 16U : 10U) + static_cast<uint32_t>(digit), 0x110000U);
  }
  // A NUL stands for nothing a page could mean; browsers read it as the replacement character.
  appendUtf8(out, value == 0 ? char32_t{0xFFFD} : char32_t{value});
  return end - at + 1;
}

std::string decodeReferences(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (const std::size_t used = decodeReference(text, i, out); used > 0) {
        i += used - 1;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

struct Attributes {
  std::optional<std::string> id;
  std::optional<std::string> href;
};

// Reads the attributes of a tag from text[at] (just after its name) to its '>'; answers where the
// tag ends.
std::size_t readAttributes(std::string_view html, std::size_t at, Attributes& attributes) {
  std::size_t i = at;
  while (i < html.size()) {
    while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) {
      ++i;
    }
    if (i >= html.size() || html[i] == '>') {
      break;
    }
    std::string name;
    while (i < html.size() && !isSpace(html[i]) && html[i] != '=' && html[i] != '>' &&
           html[i] != '/') {
      name += lower(html[i++]);
    }
    while (i < html.size() && isSpace(html[i])) {
      ++i;
    }
    std::string value;
    if (i < html.size() && html[i] == '=') {
      ++i;
      while (i < html.size() && isSpace(html[i])) {
        ++i;
      }
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const char quote = html[i++];
        const std::size_t close = html.find(quote, i);
        const std::size_t stop = close == std::string_view::npos ? html.size() : close;
        value = decodeReferences(html.substr(i, stop - i));
        i = stop == html.size() ? stop : stop + 1;
      } else {
        const std::size_t start = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != '>') {
          ++i;
        }
        value = decodeReferences(html.substr(start, i - start));
      }
    }
    if (name == "id" && !attributes.id) {
      attributes.id = std::move(value);
    } else if (name == "href" && !attributes.href) {
      attributes.href = std::move(value);
    }
  }
  return i;
}

}  // namespace

// ---- Core: the state of one web view, shared with its session's events and queued blocks ----

class HeadlessWebView::Core final : public URLSessionDelegate,
                                    public std::enable_shared_from_this<Core> {
 public:
  std::weak_ptr<HeadlessWebView> owner;

  ~Core() override { cancel(takeTask()); }

  void setDelegate(std::weak_ptr<WebViewDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
  }

  void setObserver(LoadObserver observer) {
    auto next = observer ? std::make_shared<const LoadObserver>(std::move(observer)) : nullptr;
    std::lock_guard lock(mutex_);
    std::swap(observer_, next);
  }

  // Any thread: a new navigation, decided on the main queue.
  void navigate(const URL& url) {
    uint64_t generation = 0;
    std::shared_ptr<URLSessionDataTask> previous;
    {
      std::lock_guard lock(mutex_);
      generation = ++generation_;
      previous = std::exchange(task_, nullptr);
      loading_ = true;
    }
    cancel(previous);
    mainQueue().async([weak = weak_from_this(), generation, url] {
      if (const auto core = weak.lock()) {
        core->begin(generation, url);
      }
    });
  }

  void stop() {
    std::shared_ptr<URLSessionDataTask> previous;
    {
      std::lock_guard lock(mutex_);
      ++generation_;
      previous = std::exchange(task_, nullptr);
      loading_ = false;
    }
    cancel(previous);
  }

  std::optional<URL> currentURL() const {
    std::lock_guard lock(mutex_);
    return currentURL_;
  }

  std::vector<Link> links() const {
    std::lock_guard lock(mutex_);
    return links_;
  }

  bool isLoading() const {
    std::lock_guard lock(mutex_);
    return loading_;
  }

  // ---- Session events (the session's delegate queue) ----

  void didReceiveData(URLSession& /*session*/, const std::shared_ptr<URLSessionDataTask>& dataTask,
                      const std::string& data) override {
    std::lock_guard lock(mutex_);
    if (dataTask == task_ && body_.size() < kMaximumBodyBytes) {
      body_.append(data, 0, std::min(data.size(), kMaximumBodyBytes - body_.size()));
    }
  }

  void didCompleteWithError(URLSession& /*session*/, const std::shared_ptr<URLSessionTask>& task,
                            const std::optional<URLError>& error) override {
    uint64_t generation = 0;
    std::string body;
    {
      std::lock_guard lock(mutex_);
      if (task != task_) {
        return;  // replaced or stopped: it reports nothing more
      }
      task_ = nullptr;
      generation = generation_;
      body = std::move(body_);
      body_.clear();
    }
    if (error) {
      postEnd(generation, LoadEvent{std::nullopt, 0, error}, {});
      return;
    }
    const auto response = task->response();
    if (!response) {
      postEnd(generation, LoadEvent{std::nullopt, 0, URLError(URLError::BadServerResponse)}, {});
      return;
    }
    const int status = response->statusCode();
    const URL& url = response->url();
    if (isRedirect(status)) {
      const auto location = response->valueForHTTPHeaderField("Location");
      if (auto target = location ? resolve(url, *location) : std::nullopt) {
        mainQueue().async([weak = weak_from_this(), generation, target = std::move(*target)] {
          if (const auto core = weak.lock()) {
            core->redirect(generation, target);
          }
        });
        return;
      }
    }
    auto links = parseLinks(body, url);
    postEnd(generation, LoadEvent{url, status, std::nullopt}, std::move(links));
  }

 private:
  static void cancel(const std::shared_ptr<URLSessionDataTask>& task) {
    if (task) {
      task->cancel();
    }
  }

  std::shared_ptr<URLSessionDataTask> takeTask() {
    std::lock_guard lock(mutex_);
    return std::exchange(task_, nullptr);
  }

  bool isCurrent(uint64_t generation) const {
    std::lock_guard lock(mutex_);
    return generation == generation_;
  }

  std::shared_ptr<WebViewDelegate> delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
  }

  bool allowed(HeadlessWebView& view, const URL& url) const {
    const auto watcher = delegate();
    return !watcher || watcher->shouldStartLoad(view, url);
  }

  // Main queue: the start of a navigation.
  void begin(uint64_t generation, const URL& url) {
    const auto view = owner.lock();
    if (!view || !isCurrent(generation)) {
      return;
    }
    if (!allowed(*view, url)) {
      std::lock_guard lock(mutex_);
      if (generation == generation_) {
        loading_ = false;
      }
      return;
    }
    {
      std::lock_guard lock(mutex_);
      redirects_ = 0;
    }
    if (const auto watcher = delegate(); watcher && isCurrent(generation)) {
      watcher->didStartLoad(*view);
    }
    load(generation, url);
  }

  // Main queue: the server sent this navigation elsewhere.
  void redirect(uint64_t generation, const URL& target) {
    const auto view = owner.lock();
    if (!view || !isCurrent(generation)) {
      return;
    }
    bool tooMany = false;
    {
      std::lock_guard lock(mutex_);
      tooMany = ++redirects_ > kMaximumRedirects;
    }
    if (tooMany) {
      end(generation, LoadEvent{std::nullopt, 0, URLError(kTooManyRedirects)}, {});
    } else if (!allowed(*view, target)) {
      end(generation, LoadEvent{std::nullopt, 0, URLError(URLError::Cancelled)}, {});
    } else {
      load(generation, target);
    }
  }

  // Main queue: starts the request of an allowed step of the navigation.
  void load(uint64_t generation, const URL& url) {
    if (!isLoadable(url)) {
      end(generation, LoadEvent{std::nullopt, 0, URLError(URLError::UnsupportedURL)}, {});
      return;
    }
    URLRequest request(url);
    request.setValue("text/html,*/*", "Accept");
    const auto task = session()->dataTaskWithRequest(std::move(request));
    {
      std::lock_guard lock(mutex_);
      if (generation != generation_) {
        return;  // the unstarted task is dropped
      }
      task_ = task;
      body_.clear();
    }
    task->resume();
  }

  void postEnd(uint64_t generation, LoadEvent event, std::vector<Link> links) {
    mainQueue().async([weak = weak_from_this(), generation, event = std::move(event),
                       links = std::move(links)]() mutable {
      if (const auto core = weak.lock()) {
        core->end(generation, event, std::move(links));
      }
    });
  }

  // Main queue: the navigation is over.
  void end(uint64_t generation, const LoadEvent& event, std::vector<Link> links) {
    const auto view = owner.lock();
    std::shared_ptr<WebViewDelegate> watcher;
    std::shared_ptr<const LoadObserver> observer;
    {
      std::lock_guard lock(mutex_);
      if (!view || generation != generation_) {
        return;
      }
      loading_ = false;
      currentURL_ = event.url;
      links_ = std::move(links);
      watcher = delegate_.lock();
      observer = observer_;
    }
    if (watcher) {
      if (event.error) {
        watcher->didFailLoad(*view, *event.error);
      } else {
        watcher->didFinishLoad(*view);
      }
    }
    if (observer && isCurrent(generation)) {
      (*observer)(*view, event);
    }
  }

  std::shared_ptr<URLSession> session() {
    std::lock_guard lock(mutex_);
    if (!session_) {
      session_ = URLSession::sessionWithConfiguration(
          URLSessionConfiguration::defaultSessionConfiguration(), weak_from_this());
    }
    return session_;
  }

  mutable std::mutex mutex_;
  std::weak_ptr<WebViewDelegate> delegate_;
  std::shared_ptr<const LoadObserver> observer_;
  uint64_t generation_ = 0;
  int redirects_ = 0;
  bool loading_ = false;
  std::shared_ptr<URLSessionDataTask> task_;
  std::string body_;
  std::optional<URL> currentURL_;
  std::vector<Link> links_;
  std::shared_ptr<URLSession> session_;
};

// ---- HeadlessWebView ----

std::shared_ptr<HeadlessWebView> HeadlessWebView::create() {
  auto view = std::make_shared<HeadlessWebView>(Key());
  view->core_->owner = view;
  return view;
}

HeadlessWebView::HeadlessWebView(Key /*key*/) : core_(std::make_shared<Core>()) {}

HeadlessWebView::~HeadlessWebView() { core_->stop(); }

void HeadlessWebView::setDelegate(std::weak_ptr<WebViewDelegate> delegate) {
  core_->setDelegate(std::move(delegate));
}

void HeadlessWebView::loadURL(const URL& url) { core_->navigate(url); }

void HeadlessWebView::stopLoading() { core_->stop(); }

void HeadlessWebView::setLoadObserver(LoadObserver observer) {
  core_->setObserver(std::move(observer));
}

std::optional<URL> HeadlessWebView::currentURL() const { return core_->currentURL(); }

std::vector<HeadlessWebView::Link> HeadlessWebView::links() const { return core_->links(); }

bool HeadlessWebView::isLoading() const { return core_->isLoading(); }

bool HeadlessWebView::followLink(std::string_view id) {
  const auto all = links();
  const auto found =
      std::find_if(all.begin(), all.end(), [id](const Link& link) { return link.id == id; });
  if (found == all.end()) {
    return false;
  }
  core_->navigate(found->url);
  return true;
}

bool HeadlessWebView::followFirstLink() {
  const auto all = links();
  if (all.empty()) {
    return false;
  }
  core_->navigate(all.front().url);
  return true;
}

std::vector<HeadlessWebView::Link> HeadlessWebView::parseLinks(std::string_view html,
                                                               const URL& base) {
  std::vector<Link> links;
  std::size_t i = 0;
  while ((i = html.find('<', i)) != std::string_view::npos) {
    if (html.substr(i, 4) == "<!--") {
      const std::size_t close = html.find("-->", i + 4);
      i = close == std::string_view::npos ? html.size() : close + 3;
      continue;
    }
    ++i;
    if (i + 1 >= html.size() || lower(html[i]) != 'a' ||
        !(isSpace(html[i + 1]) || html[i + 1] == '>')) {
      continue;
    }
    Attributes attributes;
    i = readAttributes(html, i + 1, attributes);
    if (attributes.href) {
      if (auto url = resolve(base, *attributes.href)) {
        links.push_back(Link{attributes.id.value_or(""), std::move(*url)});
      }
    }
  }
  return links;
}

std::optional<URL> HeadlessWebView::resolve(const URL& base, std::string_view reference) {
  reference = trimmed(reference);
  if (hasScheme(reference)) {
    return URL::URLWithString(reference);
  }
  const std::string& absolute = base.absoluteString();
  if (reference.empty()) {
    return URL::URLWithString(absolute.substr(0, absolute.find('#')));
  }
  if (reference.starts_with("//")) {
    return URL::URLWithString(base.scheme() + ":" + std::string(reference));
  }
  if (reference.front() == '#') {
    return URL::URLWithString(absolute.substr(0, absolute.find('#')) + std::string(reference));
  }
  if (reference.front() == '/') {
    return URL::URLWithString(origin(base) + std::string(reference));
  }
  const std::string& path = base.percentEncodedPath();
  if (reference.front() == '?') {
    return URL::URLWithString(origin(base) + path + std::string(reference));
  }
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "/" : path.substr(0, slash + 1);
  return URL::URLWithString(origin(base) + directory + std::string(reference));
}

}  // namespace tq
