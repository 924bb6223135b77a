#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIOperation.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

void TQAPIOperationQueue::addCall(const std::shared_ptr<TQAPI>& api,
                                  const std::shared_ptr<TQAPIResponseOperation>& responseOperation,
                                  const TQCallStart& how, std::function<void()> gatherLocked) {
  if (!api || !responseOperation) {
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
    if (!batchCancelled && !apiArray_.insert(api).second) {
      return;
    }
  }
  if (batchCancelled) {
    api->cancelAPI();
    return;
  }
  TQAPISDK::sharedInstance()->apiArray().add(api);

  auto run = std::make_shared<TQAPIOperation>();
  responseOperation->addDependency(run);

  const std::weak_ptr<TQAPIResponseOperation> weakResponse = responseOperation;
  const std::weak_ptr<TQAPIOperationQueue> weakSelf = shared_from_this();
  run->attachAPI(
      api,
      [weakResponse, weakSelf](const std::shared_ptr<TQAPIQueryResponse>& outcome) {
        if (!outcome) {
          // The call was cancelled from outside the batch (a logout, say): it will never answer,
          // so the batch cannot complete; cancelling it lets every operation finish and go.
          if (const auto self = weakSelf.lock()) {
            self->cancelAllOperations();
          }
          return;
        }
        if (const auto operation = weakResponse.lock()) {
          operation->setResponse(outcome);
        }
      },
      how);
  // The batch stays alive through its response operations until each has delivered.
  responseOperation->setCompletionHandler(
      [self = shared_from_this(), api, weakResponse, gatherLocked = std::move(gatherLocked)] {
        self->gather(api, weakResponse, gatherLocked);
      });
  addOperations({run, responseOperation}, false);

  // A cancel that ran between the registration above and the queueing missed these operations.
  if (isCancelled()) {
    run->cancel();
    responseOperation->cancel();
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

void TQAPIOperationQueue::cancelAllOperations() {
  std::unordered_set<std::shared_ptr<TQAPI>> calls;
  std::shared_ptr<void> dropped;
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    calls.swap(apiArray_);
    dropped = takeCompletionLocked();
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
  return {apiArray_.begin(), apiArray_.end()};
}

std::vector<std::shared_ptr<TQAPIQueryResponse>> TQAPIOperationQueue::responseArray() const {
  std::lock_guard lock(mutex_);
  return responseArray_;
}

void TQAPIOperationQueue::gather(const std::shared_ptr<TQAPI>& api,
                                 const std::weak_ptr<TQAPIResponseOperation>& responseOperation,
                                 const std::function<void()>& gatherLocked) {
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
    const auto found = apiArray_.find(api);
    if (found == apiArray_.end()) {
      return;
    }
    gathered = *found;
    apiArray_.erase(found);
    gatherLocked();
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
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responses;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_) {
      return;
    }
    responses = responseArray_;
  }
  complete(std::move(responses));
}
