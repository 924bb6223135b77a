// TQAuthorizationViewController: the sign-in page. It shows the server's sign-in page in the host's
// web view, watches every navigation for the host's redirect URL, takes the authorization code (or
// the server's error) from that redirect, exchanges the code for tokens, and reports once through
// authCompletionHandler: (tokens or nullptr, the page's outcome, the exchange's outcome or
// nullptr). It serves the ordinary page (or its silent form) for clientCredentials and the
// partner-token page for authByTokenCredentials (used only while clientCredentials is nullptr).
//
// The page never dismisses itself and never stops the web view from following a navigation, the
// redirect included; it only watches. It reports exactly once: the error redirect, a redirect
// with neither code nor error, a cancel, or the exchange's answer, whichever comes first; a
// cancel during the exchange cancels the exchange. After reporting it drops its handler.
//
// Threads: navigation callbacks, cancel and the reports of a redirect or a cancel run on the main
// queue (where the web view calls); the exchange's report runs on the default URL session's
// delegate queue. Busy-indicator changes are made on the main queue. Every member is safe from
// any thread. The host's presenter keeps the page; the running exchange keeps it until it has
// answered.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/Token_API/TQAuthCompletionHandler.h"
#include "QuenlarCloudAPI/Platform/SignInUI.h"

class TQAPI;
class TQAccessTokenAPI;
class TQAuthByTokenAPI;
class TQAuthByTokenAPIParams;
class TQAuthByTokenCredentials;
class TQAuthorizationAPI;
class TQAuthorizationAPIParams;
class TQClientCredentials;
class TQOAuthLoginPageResponse;

class TQAuthorizationViewController final
    : public tq::SignInPage,
      public tq::WebViewDelegate,
      public std::enable_shared_from_this<TQAuthorizationViewController> {
  struct Key {
    explicit Key() = default;
  };

 public:
  // A new page with the web view and busy indicator that the host's registered scene factory makes
  // (tq::setSignInSceneFactory): the library's "storyboard scene". Raises TQException
  // "NSInvalidArgumentException" when no factory is registered or it made no web view.
  static std::shared_ptr<TQAuthorizationViewController> instantiateViewController();
  // A new page over parts the caller made. The page becomes the web view's delegate.
  static std::shared_ptr<TQAuthorizationViewController> initWithScene(tq::SignInScene scene);

  TQAuthorizationViewController(Key key, tq::SignInScene scene);
  // Cancels a running exchange and stops the web view's loading.
  ~TQAuthorizationViewController() override;
  TQAuthorizationViewController(const TQAuthorizationViewController&) = delete;
  TQAuthorizationViewController& operator=(const TQAuthorizationViewController&) = delete;

  // ---- Properties ----

  // Not used by the library; kept for the host.
  std::weak_ptr<tq::SignInPresenter> callBackViewController() const;
  void setCallBackViewController(std::weak_ptr<tq::SignInPresenter> presenter);
  std::shared_ptr<TQClientCredentials> clientCredentials() const;
  void setClientCredentials(std::shared_ptr<TQClientCredentials> credentials);
  std::shared_ptr<TQAuthByTokenCredentials> authByTokenCredentials() const;
  void setAuthByTokenCredentials(std::shared_ptr<TQAuthByTokenCredentials> credentials);
  TQAuthCompletionHandler authCompletionHandler() const;
  void setAuthCompletionHandler(TQAuthCompletionHandler handler);

  std::shared_ptr<tq::WebView> webView() const override;
  std::shared_ptr<tq::ActivityIndicator> spinner() const override;

  std::shared_ptr<TQAuthorizationAPI> authorizationAPI() const;
  std::shared_ptr<TQAuthorizationAPIParams> params() const;
  std::shared_ptr<TQAuthByTokenAPI> authByTokenAPI() const;
  std::shared_ptr<TQAuthByTokenAPIParams> authByTokenAPIParams() const;
  // The running (or last) code exchange; nullptr before the first.
  std::shared_ptr<TQAccessTokenAPI> accessTokenAPI() const;

  // ---- Page ----

  // Builds the page's URL from the credentials given: raises the missing-parameter exception for
  // a client ID, redirect URL or (partner-token page) partner token or MDN that is missing, so
  // that the sign-in methods raise before anything is shown. Builds nothing without credentials.
  void preparePage();
  // Loads the page (building it first when preparePage() was not called) and starts the busy
  // indicator, also when there is nothing to load.
  void viewDidLoad();

  // ---- Web view delegate ----

  // Recognises the redirect (the navigation's text before its first "?" equal to the redirect
  // URL's text, ignoring case) and acts on it; answers true for every navigation.
  bool shouldStartLoad(tq::WebView& webView, const tq::URL& url) override;
  void didStartLoad(tq::WebView& webView) override;
  void didFinishLoad(tq::WebView& webView) override;
  // Only stops the busy indicator: the page stays, and the user may cancel.
  void didFailLoad(tq::WebView& webView, const tq::URLError& error) override;

  // The redirect's "error" and "code" parameters: the query after the first "?" (up to a "#")
  // split at "&", each key and value percent-decoded; the first piece whose key is the name
  // exactly gives its value. nullopt when there is none.
  static std::optional<std::string> didUserApprove(std::string_view urlText);
  static std::optional<std::string> parseAuthCodeFromAuthURL(std::string_view urlText);

  // Reports (nullptr, outcome "cancelled", nullptr), after cancelling a running exchange; nothing
  // when the page has reported already.
  void cancelButtonPressed() override;

 private:
  // The page's URL call: the ordinary page's, else the partner-token page's; nullptr before
  // preparePage() built one.
  std::shared_ptr<TQAPI> pageCall() const;
  std::optional<std::string> redirectText() const;
  void startExchange(const std::string& code,
                     const std::shared_ptr<TQOAuthLoginPageResponse>& outcome);
  void exchangeAnswered(const TQAccessTokenAPI* exchange,
                        const std::shared_ptr<TQOAuthLoginPageResponse>& outcome,
                        const std::shared_ptr<TQAPIQueryResponse>& response);
  // Takes the handler for the one report; nullopt when the page has reported already, or when
  // `exchange` is given and is no longer the page's running exchange.
  std::optional<TQAuthCompletionHandler> takeHandlerForReport(const TQAccessTokenAPI* exchange);
  void report(const std::shared_ptr<TQAuthenticationResponse>& tokens,
              const std::shared_ptr<TQOAuthLoginPageResponse>& outcome,
              const std::shared_ptr<TQAPIQueryResponse>& response);
  void setSpinning(bool spinning) const;

  mutable std::mutex mutex_;
  const tq::SignInScene scene_;
  std::weak_ptr<tq::SignInPresenter> callBackViewController_;
  std::shared_ptr<TQClientCredentials> clientCredentials_;
  std::shared_ptr<TQAuthByTokenCredentials> authByTokenCredentials_;
  TQAuthCompletionHandler authCompletionHandler_;
  std::shared_ptr<TQAuthorizationAPI> authorizationAPI_;
  std::shared_ptr<TQAuthorizationAPIParams> params_;
  std::shared_ptr<TQAuthByTokenAPI> authByTokenAPI_;
  std::shared_ptr<TQAuthByTokenAPIParams> authByTokenAPIParams_;
  std::shared_ptr<TQAccessTokenAPI> accessTokenAPI_;
  bool reported_ = false;
};
