// The facade's sign-in state: restoring it, the three sign-in methods, the token refresh and
// logout.
#include <atomic>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQAuthByTokenCredentials.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/View/TQAuthorizationViewController.h"

namespace {

std::string memberText(const tq::JSON& dict, const char* key) {
  return TQJSONReading::string(TQJSONReading::member(dict, key)).value_or("");
}

void requireField(bool present, const char* key) {
  if (!present) {
    TQAPIParams::throwMissingParameterException(TQLocalizedString(key));
  }
}

// What a sign-in needs from the host, checked before anything is shown or changed, so that a bad
// input raises out of the method the host called rather than later from a page callback.
void checkSignInArguments(const TQClientCredentials* credentials,
                          const std::shared_ptr<tq::SignInPresenter>& presenter, bool keepsTokens) {
  if (credentials == nullptr) {
    TQAPI::throwNilArgumentException();
  }
  requireField(!credentials->clientID().empty(), "client_id");
  requireField(!credentials->redirectURLString().empty() &&
                   TQAuthorizationAPIParams::redirectURLFrom(credentials->redirectURLString()),
               "redirect_uri");
  requireField(!credentials->clientSecret().empty(), "client_secret");
  if (keepsTokens) {
    // The credentials item is named by it; without one the tokens could not be kept.
    requireField(!credentials->keychainID().empty(), "keychainID");
  }
  if (!presenter) {
    TQAPI::throwNilArgumentException();
  }
}

void resetItem(const std::function<std::shared_ptr<KeychainItemWrapper>()>& store) {
  try {
    store()->resetKeychainItem();
  } catch (const TQException&) {
    // No keychain ID was ever known, so no credentials item was ever made: nothing to reset.
  }
}

}  // namespace

bool TQAPISDK::isUserLoggedIn() {
  if (const auto tokens = authenticationCredetials(); tokens && tokens->isAuthenticated()) {
    return true;
  }
  std::lock_guard lock(signInMutex_);
  return restoreSignInLocked();
}

bool TQAPISDK::restoreSignInLocked() {
  const std::string keychainID = retrieveKeychainID();
  if (keychainID.empty()) {
    return false;
  }
  // The credentials item is found through the keychain ID of clientCredentials(), so that comes
  // first.
  setClientCredentials(TQClientCredentials::initWithClientID("", "", "", keychainID));
  const tq::JSON stored =
      retrieveAuthenticationCredetialsFromKeyChain().value_or(tq::JSON::object());
  auto tokens = TQAuthenticationResponse::initWithDict(stored);
  const bool signedIn = tokens->isAuthenticated();
  setAuthenticationCredetials(std::move(tokens));
  setClientCredentials(TQClientCredentials::initWithClientID(
      memberText(stored, "client_id"), memberText(stored, "client_secret"),
      memberText(stored, "redirect_url"), keychainID));
  return signedIn;
}

void TQAPISDK::authenticateClient(const std::shared_ptr<TQClientCredentials>& credentials,
                                  const std::shared_ptr<tq::SignInPresenter>& fromViewController,
                                  TQAuthCompletionHandler completionHandler) {
  checkSignInArguments(credentials.get(), fromViewController, /*keepsTokens=*/true);

  std::shared_ptr<TQAuthenticationResponse> tokens;
  uint64_t epoch = 0;
  {
    std::lock_guard lock(signInMutex_);
    setClientCredentials(credentials);
    tokens = TQAuthenticationResponse::initWithDict(
        retrieveAuthenticationCredetialsFromKeyChain().value_or(tq::JSON::object()));
    setAuthenticationCredetials(tokens);
    epoch = signInEpoch_;
  }
  if (tokens->isAuthenticated()) {
    if (completionHandler) {
      completionHandler(tokens, nullptr, nullptr);
    }
    return;
  }
  startSignIn(makeSignInPage(credentials, nullptr), credentials, fromViewController, epoch,
              std::move(completionHandler));
}

void TQAPISDK::authByToken(const std::shared_ptr<TQAuthByTokenCredentials>& credentials,
                           const std::shared_ptr<tq::SignInPresenter>& fromViewController,
                           TQAuthCompletionHandler completionHandler) {
  checkSignInArguments(credentials.get(), fromViewController, /*keepsTokens=*/true);
  // The page checks the partner token and the MDN as it is built, before any state changes.
  auto page = makeSignInPage(nullptr, credentials);

  auto client = TQClientCredentials::initWithClientID(
      credentials->clientID(), credentials->clientSecret(), credentials->redirectURLString(),
      credentials->keychainID());
  uint64_t epoch = 0;
  {
    std::lock_guard lock(signInMutex_);
    setClientCredentials(client);
    epoch = signInEpoch_;
  }
  startSignIn(page, client, fromViewController, epoch, std::move(completionHandler));
}

void TQAPISDK::presentOAuthViewController(
    const std::shared_ptr<tq::SignInPresenter>& viewController,
    const std::shared_ptr<TQClientCredentials>& clientCredentials,
    TQAuthCompletionHandler completionHandler) {
  checkSignInArguments(clientCredentials.get(), viewController, /*keepsTokens=*/false);
  auto page = makeSignInPage(clientCredentials, nullptr);
  // The host's own handler: it runs where the page reports, and the host dismisses the page.
  page->setAuthCompletionHandler(std::move(completionHandler));
  showSignInPage(viewController, page);
}

std::shared_ptr<TQAuthorizationViewController> TQAPISDK::makeSignInPage(
    const std::shared_ptr<TQClientCredentials>& clientCredentials,
    const std::shared_ptr<TQAuthByTokenCredentials>& authByTokenCredentials) {
  auto page = TQAuthorizationViewController::instantiateViewController();
  page->setClientCredentials(clientCredentials);
  page->setAuthByTokenCredentials(authByTokenCredentials);
  page->preparePage();
  return page;
}

void TQAPISDK::showSignInPage(const std::shared_ptr<tq::SignInPresenter>& presenter,
                              const std::shared_ptr<TQAuthorizationViewController>& page) {
  presenter->presentViewController(page, /*animated=*/true, nullptr);
  page->viewDidLoad();
}

void TQAPISDK::startSignIn(const std::shared_ptr<TQAuthorizationViewController>& page,
                           const std::shared_ptr<TQClientCredentials>& credentials,
                           const std::shared_ptr<tq::SignInPresenter>& presenter, uint64_t epoch,
                           TQAuthCompletionHandler hostHandler) {
  // The handler goes in first: a logout that finds the page must find someone to report to.
  page->setAuthCompletionHandler(
      signInHandler(credentials, presenter, epoch, std::move(hostHandler)));
  bool overtaken = false;
  {
    std::lock_guard lock(signInMutex_);
    std::erase_if(signInPages_, [](const auto& kept) { return kept.expired(); });
    overtaken = epoch != signInEpoch_;
    if (!overtaken) {
      signInPages_.push_back(page);
    }
  }
  showSignInPage(presenter, page);
  if (overtaken) {
    // A logout came while this sign-in was starting: it ends as the ones logout found did.
    page->cancelButtonPressed();
  }
}

TQAuthCompletionHandler TQAPISDK::signInHandler(
    const std::shared_ptr<TQClientCredentials>& credentials,
    std::weak_ptr<tq::SignInPresenter> presenter, uint64_t epoch,
    TQAuthCompletionHandler hostHandler) {
  // The presenter is held weakly: it holds the page, which holds this handler.
  return [weakFacade = weak_from_this(), credentials, presenter = std::move(presenter), epoch,
          hostHandler = std::move(hostHandler)](
             const std::shared_ptr<TQAuthenticationResponse>& tokens,
             const std::shared_ptr<TQOAuthLoginPageResponse>& pageResponse,
             const std::shared_ptr<TQAPIQueryResponse>& response) {
    std::shared_ptr<TQAuthenticationResponse> kept = tokens;
    if (tokens && tokens->isAuthenticated()) {
      const auto facade = weakFacade.lock();
      if (!facade || !facade->keepSignInTokens(tokens, *credentials, epoch, response)) {
        kept = nullptr;  // a logout came first: the sign-in did not take
      }
    }
    tq::mainQueue().async([presenter, hostHandler, kept, pageResponse, response] {
      // A presenter that calls its completion twice must not report twice.
      auto reported = std::make_shared<std::atomic<bool>>(false);
      auto finish = [hostHandler, kept, pageResponse, response, reported] {
        if (!reported->exchange(true) && hostHandler) {
          hostHandler(kept, pageResponse, response);
        }
      };
      if (const auto parent = presenter.lock()) {
        parent->dismissViewControllerAnimated(/*animated=*/true, finish);
      } else {
        finish();
      }
    });
  };
}

bool TQAPISDK::keepSignInTokens(const std::shared_ptr<TQAuthenticationResponse>& tokens,
                                const TQClientCredentials& credentials, uint64_t epoch,
                                const std::shared_ptr<TQAPIQueryResponse>& response) {
  std::lock_guard lock(signInMutex_);
  if (epoch != signInEpoch_) {
    return false;
  }
  setAuthenticationCredetials(tokens);
  try {
    if (const auto json = response ? response->jsonResponse() : nullptr) {
      saveAuthCredentialsToKeychain(*json);
    }
    saveKeychainID(credentials.keychainID());
  } catch (const std::exception& e) {
    tq::systemLog(std::string("The sign-in could not be kept in the keychain: ") + e.what());
  }
  return true;
}

bool TQAPISDK::logout() {
  std::vector<std::weak_ptr<TQAuthorizationViewController>> pages;
  bool signedIn = false;
  {
    std::lock_guard lock(signInMutex_);
    // Token answers of calls sent before this point are no longer kept, also those of a first
    // sign-in that is still under way.
    ++signInEpoch_;
    pages.swap(signInPages_);
    const auto tokens = authenticationCredetials();
    signedIn = (tokens && tokens->isAuthenticated()) || restoreSignInLocked();
    if (signedIn) {
      resetItem([this] { return keychainWrapper(); });
      resetItem([this] { return keyChainIDWrapper(); });
      setAuthenticationCredetials(nullptr);
      setClientCredentials(nullptr);
    }
  }
  // Outside the lock: each page reports through its handler, which keeps tokens under it. The
  // host hears the sign-in end rather than waiting on a page whose exchange can no longer count.
  for (const auto& kept : pages) {
    if (const auto page = kept.lock()) {
      page->cancelButtonPressed();
    }
  }
  if (!signedIn) {
    return false;
  }
  emptyLocalStore();
  for (const auto& call : apiArray_.snapshot()) {
    call->cancelAPI();
  }
  return true;
}

void TQAPISDK::emptyLocalStore() {
  TQStoreError error;
  if (!TQPersistentStore::sharedPersistentStore()->deleteAllObjects(&error)) {
    // Logout goes on: the user is signed out whatever the store says.
    tq::systemLog("The local store could not be emptied at logout: " + error.localizedDescription);
  }
}

std::optional<std::string> TQAPISDK::fetchAccessToken() {
  if (!isUserLoggedIn()) {
    return std::nullopt;
  }
  const auto tokens = authenticationCredetials();
  if (!tokens) {
    return std::nullopt;
  }
  return tokens->accessToken();
}
