// TQAPIResponseOperation: the base of the response operations, which turn one batch call's
// outcome into model objects on a thread of the batch queue. A family's response operation is a
// TQParsingResponseOperation over the same parse function its single-call road uses, so an answer
// is read one way whichever road carried it. The base reads nothing (a nil result).
//
// Contract of a subclass's main(): read response(); build the result only for the operation's
// expected status (else none); store it with setResult(), or say with reportFailure() that an
// answer of that status could not be used. The completion handler runs exactly once when the
// operation is done (main() returned or threw, or the operation was cancelled), on the thread
// that ran it, never under a lock. An asynchronous subclass is done once it calls
// finishAsynchronousRead(), and the handler then runs on that thread. Every accessor is safe from
// any thread.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Operation.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

using TQAPIResponseOperationCompletionHandler = std::function<void()>;

class TQAPIResponseOperation : public tq::Operation {
 public:
  TQAPIResponseOperation() = default;

  // The outcome to turn into a result; set by the run operation before this one starts.
  std::shared_ptr<TQAPIQueryResponse> response() const;
  void setResponse(std::shared_ptr<TQAPIQueryResponse> response);

  void setCompletionHandler(TQAPIResponseOperationCompletionHandler handler);

  // Runs main() and makes sure the completion handler hears exactly once (see above).
  void start() override;

  // The base reads nothing.
  void main() override {}

 protected:
  // For asynchronous subclasses: finishes the operation and lets the completion handler run.
  // Later calls do nothing.
  void finishAsynchronousRead();
  // For main(): the call was answered with its expected status, but the answer could not be used
  // (its body unreadable, say, or the store refusing it). The outcome takes `error`, so it is no
  // success and the batch's combined response, the first outcome that is none, carries the
  // failure to the host. Nothing happens without an outcome.
  void reportFailure(tq::URLError error) const;

 private:
  void finishReading();

  mutable std::mutex mutex_;
  std::shared_ptr<TQAPIQueryResponse> response_;
  TQAPIResponseOperationCompletionHandler completionHandler_;
  bool done_ = false;
};

// A response operation whose result is a list of `Model`: a list answer gives its elements, an
// answer holding one object a list of one, a nil result an empty list.
template <class Model>
class TQResponseOperationOf : public TQAPIResponseOperation {
 public:
  using ModelType = Model;

  // The result, moved out; empty before main() stored one.
  std::vector<Model> takeResult() {
    std::lock_guard lock(resultMutex_);
    return std::exchange(result_, {});
  }

 protected:
  void setResult(std::vector<Model> result) {
    std::lock_guard lock(resultMutex_);
    result_ = std::move(result);
  }

 private:
  std::mutex resultMutex_;
  std::vector<Model> result_;
};

// The response operation of a family: `Parse` (the family's own parse of an answer) for the
// family's expected status of a completed transfer, nothing otherwise.
template <class Model, auto Parse, int ExpectedStatus>
class TQParsingResponseOperation : public TQResponseOperationOf<Model> {
 public:
  void main() override {
    const auto outcome = this->response();
    if (outcome && TQAPIQueryResponse_Helper::answeredWith(*outcome, ExpectedStatus)) {
      this->setResult(Parse(*outcome));
    }
  }
};
