// The facade's token refresh. One refresh runs at a time: every call answered 401 while it runs
// waits for it, so a batch of expired calls sends one grant, and a server that rotates refresh
// tokens sees each refresh token once.
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPI.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kExpectedStatus = 200;

// A 200 whose answer holds no access token renewed nothing: whoever reads the refresh's response
// must not take it for a renewal. A good answer that came too late (after a logout, or once the
// refresh was abandoned) is left as it is.
void markAnswerWithoutTokens(TQAPIQueryResponse& response) {
  if (!TQAPIQueryResponse_Helper::answeredWith(response, kExpectedStatus)) {
    return;
  }
  if (const auto json = response.jsonResponse();
      json && TQAuthenticationResponse::initWithDict(*json)->isAuthenticated()) {
    return;
  }
  response.setError(tq::URLError(tq::URLError::BadServerResponse,
                                 "The refresh's answer holds no access token; the tokens stay as "
                                 "they were."));
}

}  // namespace

struct TQAPISDK::RefreshFlight {
  std::shared_ptr<TQRefreshTokenAPI> call;
  std::vector<RefreshWaiter> waiters;  // guarded by the facade's refreshMutex_
  bool ended = false;                  // likewise
};

namespace {

// Travels with the refresh call's handlers. When the call is cancelled (by the host or a logout),
// or its report is dropped, nothing else would end the refresh and its waiters would wait for
// good; the last copy going away ends it as not renewed.
class RefreshEnd {
 public:
  RefreshEnd(std::weak_ptr<TQAPISDK> facade, std::function<void()> endUnrenewed)
      : facade_(std::move(facade)), endUnrenewed_(std::move(endUnrenewed)) {}
  RefreshEnd(const RefreshEnd&) = delete;
  RefreshEnd& operator=(const RefreshEnd&) = delete;
  ~RefreshEnd() {
    if (endUnrenewed_ && facade_.lock()) {
      endUnrenewed_();
    }
  }
  // The refresh ended through its report.
  void reported() { endUnrenewed_ = nullptr; }

 private:
  std::weak_ptr<TQAPISDK> facade_;
  std::function<void()> endUnrenewed_;
};

}  // namespace

std::shared_ptr<TQRefreshTokenAPI> TQAPISDK::refreshSessionWithCompletionHandler(
    TQRefreshSessionCompletionHandler completionHandler) {
  return joinRefresh(
      [weakFacade = weak_from_this(), completionHandler = std::move(completionHandler)](
          bool /*renewed*/, const std::shared_ptr<TQAPIQueryResponse>& response) {
        const auto facade = weakFacade.lock();
        // A refresh that ended without a report (its call was cancelled) reports nothing.
        if (!facade || !response || !completionHandler) {
          return;
        }
        completionHandler(facade->authenticationCredetials(), response);
      });
}

void TQAPISDK::renewSessionAfterUnauthorized(
    const std::string& sentAccessToken,
    std::function<void(const std::optional<std::string>& accessToken)> answer) {
  const auto answerOnMainQueue = [&answer](std::optional<std::string> accessToken) {
    tq::mainQueue().async([answer = std::move(answer), accessToken = std::move(accessToken)] {
      answer(accessToken);
    });
  };
  {
    // Under the refresh lock: a refresh that ends keeps its tokens before it takes this lock, so
    // a call sees either the renewed token here or joins the refresh before it ends.
    std::lock_guard lock(refreshMutex_);
    const auto tokens = authenticationCredetials();
    if (!refreshFlight_ && tokens && tokens->isAuthenticated() &&
        tokens->accessToken() != sentAccessToken) {
      answerOnMainQueue(tokens->accessToken());
      return;
    }
  }
  try {
    joinRefresh([weakFacade = weak_from_this(), answer](
                    bool renewed, const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
      const auto facade = weakFacade.lock();
      const auto tokens = facade && renewed ? facade->authenticationCredetials() : nullptr;
      answer(tokens ? std::optional(tokens->accessToken()) : std::nullopt);
    });
  } catch (const TQException& e) {
    // Nothing to refresh with (no refresh token or no client credentials): the 401 stands.
    tq::systemLog(std::string("The session cannot be renewed: ") + e.what());
    answerOnMainQueue(std::nullopt);
  }
}

std::shared_ptr<TQRefreshTokenAPI> TQAPISDK::joinRefresh(RefreshWaiter waiter) {
  std::shared_ptr<RefreshFlight> flight;
  uint64_t epoch = 0;
  {
    std::lock_guard lock(refreshMutex_);
    if (refreshFlight_) {
      refreshFlight_->waiters.push_back(std::move(waiter));
      return refreshFlight_->call;
    }
    // Taken before the credentials are read: a logout after this point, however close, makes
    // the answer stale.
    {
      std::lock_guard signInLock(signInMutex_);
      epoch = signInEpoch_;
    }
    const auto credentials = clientCredentials();
    const auto tokens = authenticationCredetials();
    auto params = std::make_shared<TQRefreshTokenAPIParams>();
    if (credentials) {
      params->clientID = credentials->clientID();
      params->clientSecret = credentials->clientSecret();
    }
    params->grantType = "refresh_token";
    if (tokens) {
      params->refreshToken = tokens->refreshToken();
    }
    flight = std::make_shared<RefreshFlight>();
    flight->call = prepareCall<TQRefreshTokenAPI>(std::move(params));
    flight->waiters.push_back(std::move(waiter));
    refreshFlight_ = flight;
  }

  // Started outside the refresh lock: a call dropped at once (cancelled by a logout between its
  // registration and its start) ends the refresh, which takes that lock.
  const std::weak_ptr<RefreshFlight> weakFlight = flight;
  auto end =
      std::make_shared<RefreshEnd>(weak_from_this(), [weakFacade = weak_from_this(), weakFlight] {
        const auto facade = weakFacade.lock();
        if (const auto flight = weakFlight.lock(); facade && flight) {
          facade->endRefresh(flight, false, nullptr);
        }
      });
  registerAndStart(
      flight->call, TQCallStart::data(),
      [weakFacade = weak_from_this(), weakCall = std::weak_ptr(flight->call), weakFlight, epoch,
       end = std::move(end)](
          const std::shared_ptr<TQAPIQueryResponse>& response) -> std::function<void()> {
        const auto facade = weakFacade.lock();
        const auto call = weakCall.lock();
        if (!facade || !call) {
          return nullptr;
        }
        const bool renewed = facade->keepRefreshedTokens(*call, epoch, *response);
        if (!renewed) {
          markAnswerWithoutTokens(*response);
        }
        return [facade, weakFlight, end, renewed, response] {
          end->reported();
          if (const auto flight = weakFlight.lock()) {
            facade->endRefresh(flight, renewed, response);
          }
        };
      });
  return flight->call;
}

void TQAPISDK::endRefresh(const std::shared_ptr<RefreshFlight>& flight, bool renewed,
                          const std::shared_ptr<TQAPIQueryResponse>& response) {
  std::vector<RefreshWaiter> waiters;
  {
    std::lock_guard lock(refreshMutex_);
    if (flight->ended) {
      return;
    }
    flight->ended = true;
    waiters.swap(flight->waiters);
    if (refreshFlight_ == flight) {
      refreshFlight_.reset();
    }
  }
  tq::mainQueue().async([waiters = std::move(waiters), renewed, response] {
    for (const auto& waiter : waiters) {
      if (waiter) {
        waiter(renewed, response);
      }
    }
  });
}

bool TQAPISDK::keepRefreshedTokens(const TQAPI& call, uint64_t epoch,
                                   const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!TQAPIQueryResponse_Helper::answeredWith(response, kExpectedStatus) || !json) {
    return false;
  }
  auto fresh = TQAuthenticationResponse::initWithDict(*json);
  if (!fresh->isAuthenticated()) {
    return false;  // a 200 without an access token renews nothing
  }
  std::lock_guard lock(signInMutex_);
  if (epoch != signInEpoch_ || call.isCancelled()) {
    return false;  // logged out, or abandoned, since the refresh was sent
  }
  // An answer often leaves out what did not change; the kept values stay usable.
  tq::JSON kept = *json;
  const bool noRefreshToken =
      TQJSONReading::string(TQJSONReading::member(*json, "refresh_token")).value_or("").empty();
  if (const auto previous = authenticationCredetials()) {
    if (noRefreshToken) {
      fresh->setRefreshToken(previous->refreshToken());
    }
    if (TQJSONReading::member(*json, "expires_in") == nullptr) {
      fresh->setExpiresIn(previous->expiresIn());
    }
  }
  // The keychain keeps its refresh token as memory does: a later process still has one to use.
  if (noRefreshToken && kept.is_object()) {
    kept.erase("refresh_token");
  }
  setAuthenticationCredetials(std::move(fresh));
  try {
    saveAuthCredentialsToKeychain(kept);
  } catch (const std::exception& e) {
    tq::systemLog(std::string("The refreshed tokens could not be kept in the keychain: ") +
                  e.what());
  }
  return true;
}
