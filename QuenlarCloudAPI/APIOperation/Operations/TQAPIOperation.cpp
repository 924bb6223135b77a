#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIOperation.h"

#include <atomic>
#include <utility>

#include "QuenlarCloudAPI/Platform/Dispatch.h"

// Travels inside the handler that the call keeps. A call lets go of its handler without calling
// it only when it was cancelled, and nothing else tells the operation so; then the operation
// would wait for an answer that never comes. The news goes through the global queue because the
// call may drop its handler while it holds its own lock.
class TQAPIOperation::HandlerWatch {
 public:
  explicit HandlerWatch(std::weak_ptr<TQAPIOperation> operation)
      : operation_(std::move(operation)) {}
  HandlerWatch(const HandlerWatch&) = delete;
  HandlerWatch& operator=(const HandlerWatch&) = delete;
  ~HandlerWatch() {
    if (!called_.load()) {
      tq::globalQueue().async([operation = operation_] {
        if (const auto self = operation.lock()) {
          self->callDroppedHandler();
        }
      });
    }
  }

  void markCalled() { called_.store(true); }

 private:
  std::weak_ptr<TQAPIOperation> operation_;
  std::atomic<bool> called_{false};
};

bool TQAPIOperation::attachAPI(std::shared_ptr<TQAPI> api, TQAPICompletionHandler completion,
                               TQCallStart how) {
  std::lock_guard lock(mutex_);
  if (isExecuting()) {
    return false;
  }
  api_.swap(api);
  apiCompletionHandler_.swap(completion);
  std::swap(how_, how);
  return true;
  // What was replaced goes after unlocking.
}

std::shared_ptr<TQAPI> TQAPIOperation::api() const {
  std::lock_guard lock(mutex_);
  return api_;
}

void TQAPIOperation::main() {
  std::shared_ptr<TQAPI> api;
  TQCallStart how;
  {
    // One step with attachAPI's test, so a call is never swapped while it is being started.
    std::lock_guard lock(mutex_);
    if (api_ && !isCancelled()) {
      api = api_;
      how = how_;
      setExecuting(true);
    }
  }
  if (!api) {
    completeOperation();
    return;
  }
  // The queue holds this operation until it finishes, and it finishes only through the handler
  // or a cancel, so the weak reference is always alive when the handler runs.
  std::weak_ptr<TQAPIOperation> weakSelf =
      std::static_pointer_cast<TQAPIOperation>(shared_from_this());
  auto watch = std::make_shared<HandlerWatch>(weakSelf);
  api->start(how, [weakSelf, watch](const std::shared_ptr<TQAPIQueryResponse>& response) {
    watch->markCalled();
    if (const auto self = weakSelf.lock()) {
      self->apiDidComplete(response);
    }
  });
  watch.reset();
  // A cancel that raced with the start may have found the operation not yet executing, and the
  // call not yet started; seen from here, the call is cancelled and nothing will answer.
  if (isCancelled()) {
    api->cancelAPI();
    completeOperation();
  }
}

void TQAPIOperation::cancel() {
  // Marked first, so that the dropped handler is known for our own doing (callDroppedHandler).
  tq::Operation::cancel();
  if (const auto api = this->api()) {
    api->cancelAPI();
  }
  // cancelAPI dropped the call's handler, so nothing else would ever finish this operation.
  if (isExecuting()) {
    completeOperation();
  }
}

void TQAPIOperation::completeOperation() { finish(); }

void TQAPIOperation::callDroppedHandler() {
  // Our own cancel() dropped it: the batch asked for that and expects no outcome.
  if (isCancelled() || isFinished()) {
    return;
  }
  apiDidComplete(nullptr);
}

void TQAPIOperation::apiDidComplete(const std::shared_ptr<TQAPIQueryResponse>& response) {
  TQAPICompletionHandler completion;
  {
    std::lock_guard lock(mutex_);
    completion = std::move(apiCompletionHandler_);
    apiCompletionHandler_ = nullptr;
  }
  if (completion) {
    completion(response);
  }
  completeOperation();
}
