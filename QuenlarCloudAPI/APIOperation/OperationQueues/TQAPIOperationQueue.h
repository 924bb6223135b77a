// TQAPIOperationQueue: a batch. It runs several prepared calls side by side and reports once,
// when every call has answered, with every call's result and outcome.
//
// Use: create(), setCompletionHandler(), addAPI() for each call, then seal() to say that no call
// follows (or addAPIs(), which adds them all and seals). Each call goes on the facade's list of
// live calls and on the batch's own list, and runs through a TQAPIOperation followed by its
// response operation. The batch completes once it is sealed and every call was gathered: a batch
// whose first calls answer before the last is added waits for the seal, and a sealed batch with
// no calls completes at once with empty arrays. After cancelAllOperations() it never completes.
//
// Promises: the completion handler runs exactly once (never after a cancel), on a thread of the
// batch queue, never under a lock. Results are gathered in the order the calls finished, a list
// result element by element and a nil result not at all; outcomes likewise, one per call. A
// batch keeps itself alive until it has completed or been cancelled, so its creator need not hold
// it. Every member is safe from any thread.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"

using TQAPIOperationQueueCompletionHandler =
    std::function<void(std::vector<std::any> resultArray,
                       std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray)>;

class TQAPIOperationQueue : public tq::OperationQueue,
                            public std::enable_shared_from_this<TQAPIOperationQueue> {
  struct Key {};

 public:
  explicit TQAPIOperationQueue(Key /*key*/) {}
  static std::shared_ptr<TQAPIOperationQueue> create();

  // Set before the first call is added; replaced only while the batch has not completed.
  void setCompletionHandler(TQAPIOperationQueueCompletionHandler completionHandler);

  // Registers a prepared call and queues its run and response operations; the call starts at
  // once. Raises TQException "NSInternalInconsistencyException" once the batch is sealed. A call
  // added to a cancelled batch is cancelled at once; nullptr and a call already in the batch are
  // ignored.
  void addAPI(const std::shared_ptr<TQAPI>& api);

  // Says that every call has been added. The batch completes when the last of them is gathered,
  // or at once when all were gathered already (or none was added). Later calls do nothing.
  void seal();

  // addAPI() for each call, then seal().
  void addAPIs(const std::vector<std::shared_ptr<TQAPI>>& apis);

  // Cancels every call of the batch (each leaves the facade's list and reports nothing) and
  // every operation; the batch then never completes, even when a response operation is running.
  void cancelAllOperations() override;

  bool isSealed() const;
  bool isCancelled() const;

  // Copies: the calls not yet gathered, the results and the outcomes gathered so far.
  std::vector<std::shared_ptr<TQAPI>> apiArray() const;
  std::vector<std::any> resultArray() const;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray() const;

 private:
  void gather(const std::shared_ptr<TQAPI>& api,
              const std::weak_ptr<TQAPIResponseOperation>& responseOperation,
              TQAPIOperationResult result);
  // Under mutex_: whether the batch is done now; if so claims the completion for the caller.
  bool claimCompletionLocked();
  void completeIfNotCancelled();

  mutable std::mutex mutex_;
  TQAPIOperationQueueCompletionHandler completionHandler_;
  std::vector<std::shared_ptr<TQAPI>> apiArray_;
  std::vector<std::any> resultArray_;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray_;
  bool sealed_ = false;
  bool cancelled_ = false;
  bool completed_ = false;
};
