// TQAPIOperation: the run operation of a batch. It starts one call and finishes when the call's
// outcome has been handed on, so that the call's response operation, which depends on it, can
// run.
//
// Promises: cancelled before it starts, it finishes without sending its call; cancelled while its
// call is under way, it cancels the call and still finishes (its dependents are never left
// waiting). The completion given to attachAPI() runs at most once, before the operation
// finishes: with the call's outcome, on the delegate queue of the call's session; or with nullptr,
// on the global queue, when the call was cancelled by someone else (cancelAPI() by the host, a
// logout) while the operation itself was not, so that the call will never answer. Every member
// is safe from any thread.
#pragma once

#include <memory>
#include <mutex>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQCallStart.h"
#include "QuenlarCloudAPI/Platform/Operation.h"

class TQAPIOperation final : public tq::Operation {
 public:
  TQAPIOperation() = default;

  // Sets the call to run, the block that receives its outcome (see above) and how the call is
  // started. Answers false, changing nothing, while the operation is executing.
  bool attachAPI(std::shared_ptr<TQAPI> api, TQAPICompletionHandler completion,
                 TQCallStart how = TQCallStart::data());

  std::shared_ptr<TQAPI> api() const;

  bool isAsynchronous() const override { return true; }

  // Starts the call as attachAPI() said: a data, download or upload task.
  void main() override;

  // Cancels the call, then the operation; an executing operation finishes at once.
  void cancel() override;

  // Marks the operation finished; later calls do nothing.
  void completeOperation();

 private:
  class HandlerWatch;

  void apiDidComplete(const std::shared_ptr<TQAPIQueryResponse>& response);
  void callDroppedHandler();

  mutable std::mutex mutex_;
  std::shared_ptr<TQAPI> api_;
  TQAPICompletionHandler apiCompletionHandler_;
  TQCallStart how_;
};
