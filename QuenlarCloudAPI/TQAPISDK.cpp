#include "QuenlarCloudAPI/TQAPISDK.h"

#include <cassert>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/TQURLSession.h"
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

std::shared_ptr<TQAPISDK> TQAPISDK::sharedInstance() {
  // Never destroyed: calls and queued blocks may reach the facade during static destruction.
  static auto* instance = [] {
    // The first use, before this process makes working files of its own: what unlocked ones
    // stand in Documents and the temporary directory then were left by a killed process.
    TQLibraryFiles::removeLeftoversOnce();
    return new std::shared_ptr<TQAPISDK>(std::make_shared<TQAPISDK>(Key{}));
  }();
  return *instance;
}

std::shared_ptr<TQAuthenticationResponse> TQAPISDK::authenticationCredetials() const {
  std::lock_guard lock(stateMutex_);
  return authenticationCredetials_;
}

void TQAPISDK::setAuthenticationCredetials(std::shared_ptr<TQAuthenticationResponse> credentials) {
  std::shared_ptr<TQAuthenticationResponse> previous;  // released after the lock
  std::lock_guard lock(stateMutex_);
  previous = std::exchange(authenticationCredetials_, std::move(credentials));
}

std::shared_ptr<TQClientCredentials> TQAPISDK::clientCredentials() const {
  std::lock_guard lock(stateMutex_);
  return clientCredentials_;
}

void TQAPISDK::setClientCredentials(std::shared_ptr<TQClientCredentials> credentials) {
  std::shared_ptr<TQClientCredentials> previous;  // released after the lock
  std::lock_guard lock(stateMutex_);
  previous = std::exchange(clientCredentials_, std::move(credentials));
}

std::optional<std::string> TQAPISDK::fetchClientID() const {
  const auto credentials = clientCredentials();
  if (!credentials) {
    return std::nullopt;
  }
  return credentials->clientID();
}

std::shared_ptr<TQAPI> TQAPISDK::getAPIWithID(uint64_t apiID,
                                              const std::optional<std::string>& sessionID) const {
  return apiArray_.find(apiID, sessionID);
}

void TQAPISDK::handleCompletionHandler(std::function<void()> completionHandler,
                                       const std::optional<std::string>& /*sessionID*/) {
  TQURLSession::sharedURLSession()->setBackgroundSessionCompletionHandler(
      std::move(completionHandler));
}

void TQAPISDK::copyAccessToken(TQAPIParams* params) const {
  if (auto* resourceParams = dynamic_cast<TQResourceAPIParams*>(params)) {
    const auto credentials = authenticationCredetials();
    resourceParams->accessToken = credentials ? credentials->accessToken() : std::string();
  }
}

void TQAPISDK::reportModelFailure(const char* what) {
  tq::systemLog(std::string("[FATEL] an answer could not be read: ") + what);
}

void TQAPISDK::deliverBatchOnMainQueue(std::shared_ptr<TQAPIOperationQueue> batch,
                                       std::function<void()> deliver) {
  if (!batch || !deliver) {
    return;
  }
  tq::mainQueue().async([batch = std::move(batch), deliver = std::move(deliver)] {
    // A cancel that came after the batch completed but before this block ran still wins.
    if (!batch->isCancelled()) {
      deliver();
    }
  });
}

void TQAPISDK::registerAndStart(const std::shared_ptr<TQAPI>& call, const TQCallStart& start,
                                AnswerHandler onAnswer) {
  registerAndStartDeferred(call, start,
                           [onAnswer = std::move(onAnswer)](
                               const std::shared_ptr<TQAPIQueryResponse>& response,
                               const Deliverer& deliverer) { deliverer(onAnswer(response)); });
}

void TQAPISDK::registerAndStartDeferred(const std::shared_ptr<TQAPI>& call,
                                        const TQCallStart& start, DeferredAnswerHandler onAnswer) {
  // The call keeps this handler, so it holds the call weakly; while it runs, the completing call
  // is alive, and the strong reference the deliverer takes carries it to the main queue.
  TQAPICompletionHandler responseHandler =
      [weakCall = std::weak_ptr<TQAPI>(call), weakFacade = weak_from_this(),
       onAnswer = std::move(onAnswer)](const std::shared_ptr<TQAPIQueryResponse>& response) {
        auto call = weakCall.lock();
        if (!call) {
          return;
        }
        Deliverer deliverer = [call = std::move(call), weakFacade](std::function<void()> deliver) {
          tq::mainQueue().async([call, weakFacade, deliver = std::move(deliver)] {
            assert(tq::mainQueue().isCurrent() && "host handlers run on the main queue");
            // Claimed under the call's lock: a cancel from any thread that came first has taken
            // the call off the list and the host hears nothing; one that comes later finds it
            // claimed.
            if (!call->claimDelivery()) {
              return;
            }
            if (auto facade = weakFacade.lock()) {
              facade->apiArray().remove(call.get());
            }
            if (deliver) {
              deliver();
            }
          });
        };
        onAnswer(response, std::move(deliverer));
      };

  apiArray_.add(call);
  call->start(start, std::move(responseHandler));
}
