// TQAPIResponseOperation: the base of the response operations, which turn one batch call's
// outcome into model objects on a thread of the batch queue. A call class names its own with
// apiResponseOperationClass(); the base yields nil.
//
// Contract of a subclass's main(): read response(); build the result only for the operation's
// expected status (else nil); hand it on with deliverResult() exactly once. A result is
// TQAPIOperationResult: empty for nil, one object, or a list (std::vector<std::any>, see
// listResult()) whose elements the batch gathers one by one. Should main() throw or end without
// delivering, the operation delivers nil for it, so its batch never waits for a result that cannot
// come. The completion handler runs on the thread that delivers, never under a lock.
// Every accessor is safe from any thread.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Operation.h"

// Nothing (an empty std::any), one object, or a std::vector<std::any> standing for a list.
using TQAPIOperationResult = std::any;
using TQAPIResponseOperationCompletionHandler = std::function<void(TQAPIOperationResult result)>;

class TQAPIResponseOperation : public tq::Operation {
 public:
  TQAPIResponseOperation() = default;

  // The outcome to turn into a result; set by the run operation before this one starts.
  std::shared_ptr<TQAPIQueryResponse> response() const;
  void setResponse(std::shared_ptr<TQAPIQueryResponse> response);

  TQAPIResponseOperationCompletionHandler completionHandler() const;
  void setCompletionHandler(TQAPIResponseOperationCompletionHandler handler);

  // Runs main() and makes sure the completion handler hears exactly once (see above).
  void start() override;

  // The base hands on nil.
  void main() override;

  // A list result holding each of `items` as one element.
  template <class T>
  static TQAPIOperationResult listResult(const std::vector<T>& items) {
    return std::vector<std::any>(items.begin(), items.end());
  }

 protected:
  // Calls the completion handler with `result` the first time; later calls do nothing.
  void deliverResult(TQAPIOperationResult result);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<TQAPIQueryResponse> response_;
  TQAPIResponseOperationCompletionHandler completionHandler_;
  bool delivered_ = false;
};
