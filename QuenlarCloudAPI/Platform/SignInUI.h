// SignInUI: the user interface of the sign-in page, which the host supplies and the library drives.
// It stands in for a storyboard scene holding a web view, a busy indicator and a cancel control,
// and for the view controller that presents it.
//
// Who implements what:
// - the host: WebView (shows pages, asks its delegate before every navigation), ActivityIndicator
//   (optional), SignInPresenter (its parent view controller: presents and dismisses a page), and a
//   SignInSceneFactory registered with setSignInSceneFactory() before the first sign-in (the
//   "storyboard": it makes the web view and busy indicator of one page);
// - the library: SignInPage (the page shown; the host's cancel control calls
//   cancelButtonPressed()) and WebViewDelegate (the page's watcher of navigations).
//
// Threads: the library calls WebView, ActivityIndicator and SignInPresenter on the main queue, or
// on the thread from which the host called a sign-in method (for a host with a user interface,
// its main thread). A WebView calls its delegate on the main queue. Completions given to the
// presenter may be called from any thread, once each.
//
// Ownership: a page owns its web view and busy indicator; a web view holds its delegate weakly; the
// presenter keeps the page it presents until it dismisses it.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

namespace tq {

class WebView;

// Watches a web view's navigations.
class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;

  // Asked before the web view goes to `url`: a load it was given, a link followed, or a redirect
  // answered by the server. false: the web view does not go there.
  virtual bool shouldStartLoad(WebView& webView, const URL& url) = 0;
  // A navigation the delegate allowed has started.
  virtual void didStartLoad(WebView& /*webView*/) {}
  // The navigation ended with a page shown (whatever its HTTP status).
  virtual void didFinishLoad(WebView& /*webView*/) {}
  // The navigation ended without a page: a transport failure, an address the web view cannot
  // show, or a redirect the delegate refused (URLError::Cancelled).
  virtual void didFailLoad(WebView& /*webView*/, const URLError& /*error*/) {}
};

// Shows web pages. Each navigation is announced to the delegate before it starts; a navigation
// started while another runs replaces it (the earlier one reports nothing more).
class WebView {
 public:
  virtual ~WebView() = default;

  virtual void setDelegate(std::weak_ptr<WebViewDelegate> delegate) = 0;
  // Navigates to `url` (after asking the delegate).
  virtual void loadURL(const URL& url) = 0;
  // Ends the current navigation; it reports nothing more.
  virtual void stopLoading() = 0;
};

// The busy indicator shown while a page or the sign-in's code exchange is under way.
class ActivityIndicator {
 public:
  virtual ~ActivityIndicator() = default;

  virtual void startAnimating() = 0;
  virtual void stopAnimating() = 0;
};

// A page the library asks the host to present.
class SignInPage {
 public:
  virtual ~SignInPage() = default;

  // The web view and busy indicator the host's scene factory made for this page.
  virtual std::shared_ptr<WebView> webView() const = 0;
  virtual std::shared_ptr<ActivityIndicator> spinner() const = 0;

  // What the host's cancel control calls; the page then reports that the user cancelled.
  virtual void cancelButtonPressed() = 0;
};

// The host's view controller over which a sign-in page is shown.
class SignInPresenter {
 public:
  virtual ~SignInPresenter() = default;

  // Shows `page`; calls `completion` (when given) once it is shown.
  virtual void presentViewController(std::shared_ptr<SignInPage> page, bool animated,
                                     std::function<void()> completion) = 0;
  // Takes down the page this presenter shows; calls `completion` (when given) once it is gone.
  virtual void dismissViewControllerAnimated(bool animated, std::function<void()> completion) = 0;
};

// The parts of one sign-in page that the host makes: its web view (required) and busy indicator
// (may be nullptr).
struct SignInScene {
  std::shared_ptr<WebView> webView;
  std::shared_ptr<ActivityIndicator> spinner;
};

// Makes the parts of one new sign-in page; called once per page, on the thread of the sign-in
// method.
using SignInSceneFactory = std::function<SignInScene()>;

// Registers the host's scene factory; an empty function removes it. May be replaced at any time;
// pages made before keep their parts.
void setSignInSceneFactory(SignInSceneFactory factory);

// A new scene from the registered factory; nullopt when none is registered or it made no web view.
std::optional<SignInScene> instantiateSignInScene();

}  // namespace tq
