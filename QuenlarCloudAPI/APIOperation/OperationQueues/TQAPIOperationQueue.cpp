#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"

#include <algorithm>
#include <utility>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIOperation.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

// A list result adds its elements one by one, nil adds nothing, anything else adds itself.
void appendResult(std::vector<std::any>& results, TQAPIOperationResult result) {
  if (!result.has_value()) {
    return;
  }
  if (auto* list = std::any_cast<std::vector<std::any>>(&result)) {
    for (auto& element : *list) {
      if (element.has_value()) {
        results.push_back(std::move(element));
      }
    }
    return;
  }
  results.push_back(std::move(result));
}

}  // namespace

std::shared_ptr<TQAPIOperationQueue> TQAPIOperationQueue::create() {
  return std::make_shared<TQAPIOperationQueue>(Key{});
}

void TQAPIOperationQueue::setCompletionHandler(
    TQAPIOperationQueueCompletionHandler completionHandler) {
  std::lock_guard lock(mutex_);
  if (!completed_ && !cancelled_) {
    completionHandler_.swap(completionHandler);
  }
  // The replaced handler goes after unlocking.
}

void TQAPIOperationQueue::addAPI(const std::shared_ptr<TQAPI>& api) {
  if (!api) {
    return;
  }
  bool batchCancelled = false;
  {
    std::lock_guard lock(mutex_);
    if (sealed_) {
      throw TQException("NSInternalInconsistencyException",
                        "A call was added to a batch after its last call.");
    }
    batchCancelled = cancelled_;
    if (!batchCancelled) {
      if (std::find(apiArray_.begin(), apiArray_.end(), api) != apiArray_.end()) {
        return;
      }
      apiArray_.push_back(api);
    }
  }
  if (batchCancelled) {
    api->cancelAPI();
    return;
  }
  TQAPISDK::sharedInstance()->apiArray().add(api);

  auto run = std::make_shared<TQAPIOperation>();
  std::shared_ptr<TQAPIResponseOperation> response;
  if (const auto factory = api->apiResponseOperationClass()) {
    response = factory();
  }
  if (!response) {
    response = std::make_shared<TQAPIResponseOperation>();
  }
  response->addDependency(run);

  const std::weak_ptr<TQAPIResponseOperation> weakResponse = response;
  const std::weak_ptr<TQAPIOperationQueue> weakSelf = shared_from_this();
  run->attachAPI(api, [weakResponse, weakSelf](const std::shared_ptr<TQAPIQueryResponse>& outcome) {
    if (!outcome) {
      // The call was cancelled from outside the batch (a logout, say): it will never answer, so
      // the batch cannot complete; cancelling it lets every operation finish and go.
      if (const auto self = weakSelf.lock()) {
        self->cancelAllOperations();
      }
      return;
    }
    if (const auto operation = weakResponse.lock()) {
      operation->setResponse(outcome);
    }
  });
  // The batch stays alive through its response operations until each has delivered.
  response->setCompletionHandler(
      [self = shared_from_this(), api, weakResponse](TQAPIOperationResult result) {
        self->gather(api, weakResponse, std::move(result));
      });
  addOperations({run, response}, false);

  // A cancel that ran between the registration above and the queueing missed these operations.
  if (isCancelled()) {
    run->cancel();
    response->cancel();
  }
}

void TQAPIOperationQueue::seal() {
  {
    std::lock_guard lock(mutex_);
    if (sealed_) {
      return;
    }
    sealed_ = true;
    if (!claimCompletionLocked()) {
      return;
    }
  }
  // Every call was gathered before the seal (or there was none): complete on a thread of the
  // batch, as a completion after the last gathering does.
  addOperationWithBlock([self = shared_from_this()] { self->completeIfNotCancelled(); });
}

void TQAPIOperationQueue::addAPIs(const std::vector<std::shared_ptr<TQAPI>>& apis) {
  for (const auto& api : apis) {
    addAPI(api);
  }
  seal();
}

void TQAPIOperationQueue::cancelAllOperations() {
  std::vector<std::shared_ptr<TQAPI>> calls;
  TQAPIOperationQueueCompletionHandler dropped;
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    calls.swap(apiArray_);
    dropped.swap(completionHandler_);
  }
  for (const auto& call : calls) {
    call->cancelAPI();
  }
  tq::OperationQueue::cancelAllOperations();
}

bool TQAPIOperationQueue::isSealed() const {
  std::lock_guard lock(mutex_);
  return sealed_;
}

bool TQAPIOperationQueue::isCancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

std::vector<std::shared_ptr<TQAPI>> TQAPIOperationQueue::apiArray() const {
  std::lock_guard lock(mutex_);
  return apiArray_;
}

std::vector<std::any> TQAPIOperationQueue::resultArray() const {
  std::lock_guard lock(mutex_);
  return resultArray_;
}

std::vector<std::shared_ptr<TQAPIQueryResponse>> TQAPIOperationQueue::responseArray() const {
  std::lock_guard lock(mutex_);
  return responseArray_;
}

void TQAPIOperationQueue::gather(const std::shared_ptr<TQAPI>& api,
                                 const std::weak_ptr<TQAPIResponseOperation>& responseOperation,
                                 TQAPIOperationResult result) {
  // The facade's list lock is taken and released before the batch's, never inside it.
  TQAPISDK::sharedInstance()->apiArray().remove(api);
  const auto operation = responseOperation.lock();
  std::shared_ptr<TQAPIQueryResponse> response = operation ? operation->response() : nullptr;

  std::shared_ptr<TQAPI> gathered;  // released after unlocking
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) {
      return;
    }
    const auto found = std::find(apiArray_.begin(), apiArray_.end(), api);
    if (found == apiArray_.end()) {
      return;
    }
    gathered = std::move(*found);
    apiArray_.erase(found);
    appendResult(resultArray_, std::move(result));
    if (response) {
      responseArray_.push_back(std::move(response));
    }
    complete = claimCompletionLocked();
  }
  if (complete) {
    completeIfNotCancelled();
  }
}

bool TQAPIOperationQueue::claimCompletionLocked() {
  if (!sealed_ || cancelled_ || completed_ || !apiArray_.empty()) {
    return false;
  }
  completed_ = true;
  return true;
}

void TQAPIOperationQueue::completeIfNotCancelled() {
  TQAPIOperationQueueCompletionHandler completion;
  std::vector<std::any> results;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responses;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) {
      return;
    }
    completion = std::exchange(completionHandler_, nullptr);
    results = resultArray_;
    responses = responseArray_;
  }
  if (completion) {
    completion(std::move(results), std::move(responses));
  }
}
