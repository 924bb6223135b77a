#include "QuenlarCloudAPI/View/TQAuthorizationViewController.h"

#include <utility>

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthByTokenAPI.h"
#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/Token_API/TQAccessTokenAPI.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Model/TQAuthByTokenCredentials.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Model/TQOAuthLoginPageResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

constexpr int kExpectedStatus = 200;

std::optional<std::string> queryValue(std::string_view urlText, std::string_view name) {
  const auto mark = urlText.find('?');
  if (mark == std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view query = urlText.substr(mark + 1);
  query = query.substr(0, query.find('#'));
  while (true) {
    const auto amp = query.find('&');
    const std::string_view piece = query.substr(0, amp);
    const auto eq = piece.find('=');
    if (NSURL_Helper::percentDecoded(piece.substr(0, eq)) == name) {
      return eq == std::string_view::npos ? std::string()
                                          : NSURL_Helper::percentDecoded(piece.substr(eq + 1));
    }
    if (amp == std::string_view::npos) {
      return std::nullopt;
    }
    query.remove_prefix(amp + 1);
  }
}

// The host's web view and busy indicator hear from the library on the main queue only.
void onMainQueue(tq::Block block) {
  if (tq::mainQueue().isCurrent()) {
    block();
  } else {
    tq::mainQueue().async(std::move(block));
  }
}

}  // namespace

std::shared_ptr<TQAuthorizationViewController>
TQAuthorizationViewController::instantiateViewController() {
  auto scene = tq::instantiateSignInScene();
  if (!scene) {
    throw TQException(NSInvalidArgumentException,
                      "No sign-in scene: register one with tq::setSignInSceneFactory().");
  }
  return initWithScene(std::move(*scene));
}

std::shared_ptr<TQAuthorizationViewController> TQAuthorizationViewController::initWithScene(
    tq::SignInScene scene) {
  auto controller = std::make_shared<TQAuthorizationViewController>(Key(), std::move(scene));
  if (controller->scene_.webView) {
    controller->scene_.webView->setDelegate(controller);
  }
  return controller;
}

TQAuthorizationViewController::TQAuthorizationViewController(Key /*key*/, tq::SignInScene scene)
    : scene_(std::move(scene)) {}

TQAuthorizationViewController::~TQAuthorizationViewController() {
  if (accessTokenAPI_) {
    accessTokenAPI_->cancelAPI();
  }
  if (const auto view = scene_.webView) {
    onMainQueue([view] { view->stopLoading(); });
  }
}

// ---- Properties ----

std::weak_ptr<tq::SignInPresenter> TQAuthorizationViewController::callBackViewController() const {
  std::lock_guard lock(mutex_);
  return callBackViewController_;
}

void TQAuthorizationViewController::setCallBackViewController(
    std::weak_ptr<tq::SignInPresenter> presenter) {
  std::lock_guard lock(mutex_);
  callBackViewController_ = std::move(presenter);
}

std::shared_ptr<TQClientCredentials> TQAuthorizationViewController::clientCredentials() const {
  std::lock_guard lock(mutex_);
  return clientCredentials_;
}

void TQAuthorizationViewController::setClientCredentials(
    std::shared_ptr<TQClientCredentials> credentials) {
  std::lock_guard lock(mutex_);
  clientCredentials_ = std::move(credentials);
}

std::shared_ptr<TQAuthByTokenCredentials> TQAuthorizationViewController::authByTokenCredentials()
    const {
  std::lock_guard lock(mutex_);
  return authByTokenCredentials_;
}

void TQAuthorizationViewController::setAuthByTokenCredentials(
    std::shared_ptr<TQAuthByTokenCredentials> credentials) {
  std::lock_guard lock(mutex_);
  authByTokenCredentials_ = std::move(credentials);
}

TQAuthCompletionHandler TQAuthorizationViewController::authCompletionHandler() const {
  std::lock_guard lock(mutex_);
  return authCompletionHandler_;
}

void TQAuthorizationViewController::setAuthCompletionHandler(TQAuthCompletionHandler handler) {
  TQAuthCompletionHandler previous;  // released after the lock
  std::lock_guard lock(mutex_);
  previous = std::exchange(authCompletionHandler_, std::move(handler));
}

std::shared_ptr<tq::WebView> TQAuthorizationViewController::webView() const {
  return scene_.webView;
}

std::shared_ptr<tq::ActivityIndicator> TQAuthorizationViewController::spinner() const {
  return scene_.spinner;
}

std::shared_ptr<TQAuthorizationAPI> TQAuthorizationViewController::authorizationAPI() const {
  std::lock_guard lock(mutex_);
  return authorizationAPI_;
}

std::shared_ptr<TQAuthorizationAPIParams> TQAuthorizationViewController::params() const {
  std::lock_guard lock(mutex_);
  return params_;
}

std::shared_ptr<TQAuthByTokenAPI> TQAuthorizationViewController::authByTokenAPI() const {
  std::lock_guard lock(mutex_);
  return authByTokenAPI_;
}

std::shared_ptr<TQAuthByTokenAPIParams> TQAuthorizationViewController::authByTokenAPIParams()
    const {
  std::lock_guard lock(mutex_);
  return authByTokenAPIParams_;
}

std::shared_ptr<TQAccessTokenAPI> TQAuthorizationViewController::accessTokenAPI() const {
  std::lock_guard lock(mutex_);
  return accessTokenAPI_;
}

// ---- Page ----

void TQAuthorizationViewController::preparePage() {
  const auto client = clientCredentials();
  const auto partner = client ? nullptr : authByTokenCredentials();
  if (client) {
    auto record = std::make_shared<TQAuthorizationAPIParams>();
    record->clientID = client->clientID();
    record->redirectURLString = client->redirectURLString();
    record->responseType = "code";
    record->deviceID = TQAPISDK::sharedInstance()->getDeviceID();
    auto call = TQAPI::initWithParameters<TQAuthorizationAPI>(record);
    call->prepareQuery();
    std::lock_guard lock(mutex_);
    params_ = std::move(record);
    authorizationAPI_ = std::move(call);
  } else if (partner) {
    auto record = std::make_shared<TQAuthByTokenAPIParams>();
    record->clientID = partner->clientID();
    record->responseType = "code";
    record->redirectURLString = partner->redirectURLString();
    record->mdn = partner->mdn();
    record->xdmDeviceID = partner->xdmDeviceID();
    record->xdmToken = partner->xdmToken();
    auto call = TQAPI::initWithParameters<TQAuthByTokenAPI>(record);
    call->prepareQuery();
    std::lock_guard lock(mutex_);
    authByTokenAPIParams_ = std::move(record);
    authByTokenAPI_ = std::move(call);
  }
}

std::shared_ptr<TQAPI> TQAuthorizationViewController::pageCall() const {
  std::lock_guard lock(mutex_);
  return authorizationAPI_ ? std::static_pointer_cast<TQAPI>(authorizationAPI_)
                           : std::static_pointer_cast<TQAPI>(authByTokenAPI_);
}

void TQAuthorizationViewController::viewDidLoad() {
  auto page = pageCall();
  if (!page) {
    preparePage();
    page = pageCall();
  }
  if (page && scene_.webView) {
    if (const auto url = page->requestURL()) {
      scene_.webView->loadURL(*url);
    } else {
      tq::systemLog("The sign-in page has no usable address: check ServerSettings.plist.");
    }
  }
  if (scene_.spinner) {
    scene_.spinner->startAnimating();
  }
}

// ---- Navigations ----

std::optional<std::string> TQAuthorizationViewController::redirectText() const {
  std::optional<tq::URL> redirect;
  {
    std::lock_guard lock(mutex_);
    if (params_) {
      redirect = params_->redirectURL();
    } else if (authByTokenAPIParams_) {
      redirect = authByTokenAPIParams_->redirectURL();
    }
  }
  if (!redirect) {
    return std::nullopt;
  }
  return redirect->absoluteString();
}

bool TQAuthorizationViewController::shouldStartLoad(tq::WebView& /*webView*/, const tq::URL& url) {
  const std::string& text = url.absoluteString();
  const std::string_view base = std::string_view(text).substr(0, text.find('?'));
  const auto redirect = redirectText();
  if (!redirect || !NSString_HelperMethods::equalsIgnoringCase(base, *redirect)) {
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    if (reported_) {
      return true;
    }
  }
  auto outcome = std::make_shared<TQOAuthLoginPageResponse>();
  if (const auto error = didUserApprove(text); error && !error->empty()) {
    outcome->setResponse(*error);
    report(nullptr, outcome, nullptr);
    return true;
  }
  const auto code = parseAuthCodeFromAuthURL(text);
  outcome->setResponse(code);
  if (!code || code->empty()) {
    // Neither a code nor an error: nothing to exchange, and the page must not wait forever.
    report(nullptr, outcome, nullptr);
    return true;
  }
  startExchange(*code, outcome);
  return true;
}

void TQAuthorizationViewController::didStartLoad(tq::WebView& /*webView*/) { setSpinning(true); }

void TQAuthorizationViewController::didFinishLoad(tq::WebView& /*webView*/) { setSpinning(false); }

void TQAuthorizationViewController::didFailLoad(tq::WebView& /*webView*/,
                                                const tq::URLError& /*error*/) {
  setSpinning(false);
}

std::optional<std::string> TQAuthorizationViewController::didUserApprove(std::string_view urlText) {
  return queryValue(urlText, "error");
}

std::optional<std::string> TQAuthorizationViewController::parseAuthCodeFromAuthURL(
    std::string_view urlText) {
  return queryValue(urlText, "code");
}

void TQAuthorizationViewController::cancelButtonPressed() {
  auto handler = takeHandlerForReport(nullptr);
  if (!handler) {
    return;
  }
  // Cancelled first, so that its answer can neither report nor be stored.
  if (const auto exchange = accessTokenAPI()) {
    exchange->cancelAPI();
  }
  if (*handler) {
    (*handler)(nullptr, std::make_shared<TQOAuthLoginPageResponse>(TQOAuthLoginPageCancelled),
               nullptr);
  }
}

// ---- Code exchange ----

void TQAuthorizationViewController::startExchange(
    const std::string& code, const std::shared_ptr<TQOAuthLoginPageResponse>& outcome) {
  setSpinning(true);
  const auto client = clientCredentials();
  const std::shared_ptr<TQClientCredentials> credentials =
      client ? client : std::static_pointer_cast<TQClientCredentials>(authByTokenCredentials());
  auto record = std::make_shared<TQAccessTokenAPIParams>();
  record->authCode = code;
  if (credentials) {
    record->clientID = credentials->clientID();
    record->clientSecret = credentials->clientSecret();
    record->redirectURLString = credentials->redirectURLString();
  }
  record->grantType = "authorization_code";

  auto exchange = TQAPI::initWithParameters<TQAccessTokenAPI>(record);
  try {
    exchange->prepareQuery();
  } catch (const TQException& e) {
    // The sign-in methods check the credentials before the page is shown; a page the host made
    // itself may still lack them. A navigation callback must not raise: report instead.
    tq::systemLog(std::string("The code exchange cannot be sent: ") + e.what());
    report(nullptr, outcome, nullptr);
    return;
  }

  std::shared_ptr<TQAccessTokenAPI> previous;
  {
    std::lock_guard lock(mutex_);
    if (reported_) {
      return;
    }
    previous = std::exchange(accessTokenAPI_, exchange);
  }
  if (previous) {
    previous->cancelAPI();
  }
  // The page reports where the exchange answers, on the delegate queue; the road's main-queue
  // step only takes the call off the list. The page is held weakly: a page its host let go has
  // nobody left to report to.
  TQAPISDK::sharedInstance()->registerAndStart(
      exchange, TQCallStart::data(),
      [weakSelf = weak_from_this(), exchange = exchange.get(),
       outcome](const std::shared_ptr<TQAPIQueryResponse>& response) -> std::function<void()> {
        if (const auto self = weakSelf.lock()) {
          self->exchangeAnswered(exchange, outcome, response);
        }
        return nullptr;
      });
}

void TQAuthorizationViewController::exchangeAnswered(
    const TQAccessTokenAPI* exchange, const std::shared_ptr<TQOAuthLoginPageResponse>& outcome,
    const std::shared_ptr<TQAPIQueryResponse>& response) {
  TQAPISDK::sharedInstance()->apiArray().remove(exchange);
  setSpinning(false);
  // Nothing when a later redirect's exchange, or a cancel, has taken over.
  const auto handler = takeHandlerForReport(exchange);
  if (!handler) {
    return;
  }
  std::shared_ptr<TQAuthenticationResponse> tokens;
  if (TQAPIQueryResponse_Helper::answeredWith(*response, kExpectedStatus)) {
    const auto json = response->jsonResponse();
    tokens = TQAuthenticationResponse::initWithDict(json ? *json : tq::JSON());
  }
  if (*handler) {
    (*handler)(tokens, outcome, response);
  }
}

// ---- Reporting ----

std::optional<TQAuthCompletionHandler> TQAuthorizationViewController::takeHandlerForReport(
    const TQAccessTokenAPI* exchange) {
  std::lock_guard lock(mutex_);
  if (reported_ || (exchange != nullptr && accessTokenAPI_.get() != exchange)) {
    return std::nullopt;
  }
  reported_ = true;
  return std::exchange(authCompletionHandler_, nullptr);
}

void TQAuthorizationViewController::report(const std::shared_ptr<TQAuthenticationResponse>& tokens,
                                           const std::shared_ptr<TQOAuthLoginPageResponse>& outcome,
                                           const std::shared_ptr<TQAPIQueryResponse>& response) {
  if (const auto handler = takeHandlerForReport(nullptr); handler && *handler) {
    (*handler)(tokens, outcome, response);
  }
}

void TQAuthorizationViewController::setSpinning(bool spinning) const {
  const auto indicator = scene_.spinner;
  if (!indicator) {
    return;
  }
  onMainQueue([indicator, spinning] {
    if (spinning) {
      indicator->startAnimating();
    } else {
      indicator->stopAnimating();
    }
  });
}
