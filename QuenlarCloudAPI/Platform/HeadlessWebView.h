// HeadlessWebView: a WebView without a screen, for hosts that have no browser to show (command-line
// tools, services, tests) and for the demo. It loads pages over HTTP(S) with the platform's URL
// session, reads the links of each page shown, and can follow one as a user's click would, so a
// host can approve a sign-in page on the user's behalf.
//
// Promises:
// - It asks its delegate before every navigation, whether given with loadURL(), followed from a
//   link, or answered by the server as a redirect; a navigation the delegate refuses never starts,
//   and a refused redirect ends the load with didFailLoad(URLError::Cancelled).
// - Only http and https are loaded; any other address the delegate allows ends the load with
//   didFailLoad(URLError::UnsupportedURL), so no redirect reaches local files.
// - Delegate calls and the load observer run on the main queue, one navigation's events in order:
//   didStartLoad once, then didFinishLoad or didFailLoad. stopLoading() and a newer navigation
//   silence the older one. At most 20 redirects per navigation.
// - A page's body is read up to 1 MiB; the rest is not kept.
// - Every member is safe from any thread. Dropping the last reference stops the current load.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/SignInUI.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

namespace tq {

class HeadlessWebView final : public WebView {
  struct Key {
    explicit Key() = default;
  };

 public:
  // A link of the page shown: its id attribute (empty when it has none) and where it leads.
  struct Link {
    std::string id;
    URL url;
  };

  // How a navigation ended: with a page (its URL and HTTP status), or with `error`.
  struct LoadEvent {
    std::optional<URL> url;
    int statusCode = 0;
    std::optional<URLError> error;
  };
  using LoadObserver = std::function<void(HeadlessWebView& webView, const LoadEvent& event)>;

  static std::shared_ptr<HeadlessWebView> create();

  explicit HeadlessWebView(Key key);
  ~HeadlessWebView() override;
  HeadlessWebView(const HeadlessWebView&) = delete;
  HeadlessWebView& operator=(const HeadlessWebView&) = delete;

  void setDelegate(std::weak_ptr<WebViewDelegate> delegate) override;
  void loadURL(const URL& url) override;
  void stopLoading() override;

  // Called on the main queue at the end of every navigation, after the delegate heard of it.
  void setLoadObserver(LoadObserver observer);

  // The page shown (nullopt before the first page and after a failed navigation), and its links
  // with a usable address, in document order.
  std::optional<URL> currentURL() const;
  std::vector<Link> links() const;
  bool isLoading() const;

  // Follows the first link of the page shown whose id is `id`, after asking the delegate; false
  // when the page has none.
  bool followLink(std::string_view id);
  // Follows the page's first link; false when it has none.
  bool followFirstLink();

  // The links of an HTML text whose address is `base`: each <a> element's id and href
  // (character references decoded, the address resolved against `base`); hrefs that make no
  // address are left out.
  static std::vector<Link> parseLinks(std::string_view html, const URL& base);
  // `reference` read against `base` as a browser does; nullopt when it makes no address.
  static std::optional<URL> resolve(const URL& base, std::string_view reference);

 private:
  class Core;
  std::shared_ptr<Core> core_;
};

}  // namespace tq
