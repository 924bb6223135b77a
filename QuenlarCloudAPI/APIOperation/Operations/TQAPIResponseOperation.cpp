#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"

#include <string>
#include <utility>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

std::shared_ptr<TQAPIQueryResponse> TQAPIResponseOperation::response() const {
  std::lock_guard lock(mutex_);
  return response_;
}

void TQAPIResponseOperation::setResponse(std::shared_ptr<TQAPIQueryResponse> response) {
  std::lock_guard lock(mutex_);
  response_ = std::move(response);
}

void TQAPIResponseOperation::reportFailure(tq::URLError error) const {
  if (const auto outcome = response()) {
    outcome->setError(std::move(error));
  }
}

void TQAPIResponseOperation::setCompletionHandler(TQAPIResponseOperationCompletionHandler handler) {
  std::lock_guard lock(mutex_);
  completionHandler_.swap(handler);
}

void TQAPIResponseOperation::start() {
  // The queue lets go of an operation once it finished; this call still needs it afterwards.
  const auto self = shared_from_this();
  try {
    tq::Operation::start();
  } catch (const std::exception& e) {
    tq::systemLog(std::string("[ERROR] a response operation failed: ") + e.what());
  } catch (...) {
    tq::systemLog("[ERROR] a response operation failed with an unknown exception");
  }
  // Also reached when the operation was cancelled before it started: the batch decides, under
  // its own lock, whether a result still counts. An asynchronous operation still at work reports
  // through finishAsynchronousRead() instead.
  if (!isAsynchronous() || isFinished()) {
    finishReading();
  }
}

void TQAPIResponseOperation::finishAsynchronousRead() {
  finish();
  finishReading();
}

void TQAPIResponseOperation::finishReading() {
  TQAPIResponseOperationCompletionHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (done_) {
      return;
    }
    done_ = true;
    handler = std::exchange(completionHandler_, nullptr);
  }
  if (handler) {
    handler();
  }
}
