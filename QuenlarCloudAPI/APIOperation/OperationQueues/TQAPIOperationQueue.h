// TQAPIOperationQueue: a batch. It runs several prepared calls side by side and reports once,
// when every call has answered, with every call's result and outcome. TQAPIOperationQueueOf<Model>
// is the batch itself; this base holds what does not depend on the result type and is what a
// batch operation hands the host to cancel it with.
//
// Use: create(), setCompletionHandler(), addAPI() for each call, then seal() to say that no call
// follows (or addAPIs(), which adds them all and seals). Each call goes on the facade's list of
// live calls and on the batch's own set, and runs through a TQAPIOperation (which starts it as a
// data, download or upload task) followed by its response operation. The batch completes once it
// is sealed and every call was gathered: a batch whose first calls answer before the last is
// added waits for the seal, and a sealed batch with no calls completes at once with empty arrays.
// After cancelAllOperations() it never completes.
//
// Promises: the completion handler runs exactly once (never after a cancel), never under a lock,
// on a thread of the batch queue, or on the thread that finished the last call's response
// operation when that operation is asynchronous. Results are gathered in the order the calls
// finished, each call's list element by element; outcomes likewise, one per call. A batch keeps
// itself alive until it has completed or been cancelled, so its creator need not hold it. Every
// member is safe from any thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <typeinfo>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQCallStart.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"

class TQAPIOperationQueue : public tq::OperationQueue,
                            public std::enable_shared_from_this<TQAPIOperationQueue> {
 public:
  TQAPIOperationQueue(const TQAPIOperationQueue&) = delete;
  TQAPIOperationQueue& operator=(const TQAPIOperationQueue&) = delete;

  // Says that every call has been added. The batch completes when the last of them is gathered,
  // or at once when all were gathered already (or none was added). Later calls do nothing.
  void seal();

  // Cancels every call of the batch (each leaves the facade's list and reports nothing) and
  // every operation; the batch then never completes, even when a response operation is running.
  void cancelAllOperations() override;

  bool isSealed() const;
  bool isCancelled() const;

  // Copies: the calls not yet gathered (in no particular order), the outcomes gathered so far.
  std::vector<std::shared_ptr<TQAPI>> apiArray() const;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray() const;

 protected:
  TQAPIOperationQueue() = default;

  // Registers a prepared call and queues its run and response operations; the call starts at
  // once as `how` says. `gatherLocked` runs under the batch's lock when the call is gathered,
  // to take the response operation's result. Raises TQException
  // "NSInternalInconsistencyException" once the batch is sealed. A call added to a cancelled batch
  // is cancelled at once; nullptr and a call already in the batch are ignored.
  void addCall(const std::shared_ptr<TQAPI>& api,
               const std::shared_ptr<TQAPIResponseOperation>& responseOperation,
               const TQCallStart& how, std::function<void()> gatherLocked);

  // Runs once, outside every lock, when the batch completes.
  virtual void complete(std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) = 0;
  // Under the batch's lock, when the batch is cancelled: takes the completion handler out, to be
  // released by the caller after unlocking.
  virtual std::shared_ptr<void> takeCompletionLocked() = 0;

  // Guards the batch's state, the subclass's results and completion handler included.
  mutable std::mutex mutex_;
  bool completed_ = false;
  bool cancelled_ = false;

 private:
  void gather(const std::shared_ptr<TQAPI>& api,
              const std::weak_ptr<TQAPIResponseOperation>& responseOperation,
              const std::function<void()>& gatherLocked);
  // Under mutex_: whether the batch is done now; if so claims the completion for the caller.
  bool claimCompletionLocked();
  void completeIfNotCancelled();

  std::unordered_set<std::shared_ptr<TQAPI>> apiArray_;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray_;
  bool sealed_ = false;
};

template <class Model>
class TQAPIOperationQueueOf final : public TQAPIOperationQueue {
  struct Key {};

 public:
  using CompletionHandler =
      std::function<void(std::vector<Model> resultArray,
                         std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray)>;

  explicit TQAPIOperationQueueOf(Key /*key*/) {}
  static std::shared_ptr<TQAPIOperationQueueOf> create() {
    return std::make_shared<TQAPIOperationQueueOf>(Key{});
  }

  // Set before the first call is added; replaced only while the batch has not completed.
  void setCompletionHandler(CompletionHandler completionHandler) {
    std::lock_guard lock(mutex_);
    if (!completed_ && !cancelled_) {
      completionHandler_.swap(completionHandler);
    }
    // The replaced handler goes after unlocking.
  }

  // Adds a prepared call read by `responseOperation`, started as `how` says (see addCall()).
  void addAPI(const std::shared_ptr<TQAPI>& api,
              const std::shared_ptr<TQResponseOperationOf<Model>>& responseOperation,
              const TQCallStart& how = TQCallStart::data()) {
    const std::weak_ptr<TQResponseOperationOf<Model>> weakOperation = responseOperation;
    addCall(api, responseOperation, how, [this, weakOperation] {
      if (const auto operation = weakOperation.lock()) {
        for (auto& element : operation->takeResult()) {
          resultArray_.push_back(std::move(element));
        }
      }
    });
  }

  // Adds a prepared call read by the response operation its class names
  // (apiResponseOperationClass()): one of this batch's result type, or the base, which gathers
  // nothing. Raises TQException "NSInvalidArgumentException" for a response operation of another
  // result type, with nothing registered or sent.
  void addAPI(const std::shared_ptr<TQAPI>& api) {
    if (!api) {
      return;
    }
    const auto factory = api->apiResponseOperationClass();
    std::shared_ptr<TQAPIResponseOperation> operation = factory ? factory() : nullptr;
    if (!operation) {
      operation = std::make_shared<TQAPIResponseOperation>();
    }
    if (auto typed = std::dynamic_pointer_cast<TQResponseOperationOf<Model>>(operation)) {
      addAPI(api, typed);
    } else if (const TQAPIResponseOperation& base = *operation;
               typeid(base) == typeid(TQAPIResponseOperation)) {
      addCall(api, operation, TQCallStart::data(), [] {});
    } else {
      throw TQException(
          "NSInvalidArgumentException",
          "The call's response operation reads another kind of result: " + api->className());
    }
  }

  // addAPI() for each call, then seal().
  void addAPIs(const std::vector<std::shared_ptr<TQAPI>>& apis) {
    for (const auto& api : apis) {
      addAPI(api);
    }
    seal();
  }

  // A copy of the results gathered so far.
  std::vector<Model> resultArray() const {
    std::lock_guard lock(mutex_);
    return resultArray_;
  }

 private:
  void complete(std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) override {
    CompletionHandler completion;
    std::vector<Model> results;
    {
      std::lock_guard lock(mutex_);
      if (cancelled_) {
        return;
      }
      completion = std::exchange(completionHandler_, nullptr);
      results = resultArray_;
    }
    if (completion) {
      completion(std::move(results), std::move(responses));
    }
  }

  std::shared_ptr<void> takeCompletionLocked() override {
    return std::make_shared<CompletionHandler>(std::exchange(completionHandler_, nullptr));
  }

  CompletionHandler completionHandler_;
  std::vector<Model> resultArray_;
};
