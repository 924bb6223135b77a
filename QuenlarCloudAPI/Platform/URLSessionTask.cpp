#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

#include "QuenlarCloudAPI/Platform/URLSessionCore.h"

namespace tq {

URLSessionTask::URLSessionTask(Kind kind, uint64_t identifier, URLRequest request,
                               std::optional<URL> uploadFile,
                               std::weak_ptr<detail::URLSessionCore> core)
    : kind_(kind),
      identifier_(identifier),
      request_(std::move(request)),
      uploadFile_(std::move(uploadFile)),
      core_(std::move(core)) {}

std::shared_ptr<const HTTPURLResponse> URLSessionTask::response() const {
  std::lock_guard lock(mutex_);
  return response_;
}

URLSessionTaskState URLSessionTask::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void URLSessionTask::resume() {
  {
    std::lock_guard lock(mutex_);
    if (started_ || completionDecided_) {
      return;
    }
    started_ = true;
    state_ = URLSessionTaskState::Running;
  }
  if (auto core = core_.lock()) {
    core->start(shared_from_this());
  }
}

void URLSessionTask::cancel() {
  if (auto core = core_.lock()) {
    core->cancel(shared_from_this());
    return;
  }
  // The session is gone, and with it everyone who could hear of the completion.
  if (decideCompletion(true)) {
    markCompleted();
  }
}

bool URLSessionTask::decideCompletion(bool byCancel) {
  std::lock_guard lock(mutex_);
  if (completionDecided_) {
    return false;
  }
  completionDecided_ = true;
  if (byCancel) {
    cancelled_ = true;
    state_ = URLSessionTaskState::Canceling;
  }
  return true;
}

bool URLSessionTask::isCompletionDecided() const {
  std::lock_guard lock(mutex_);
  return completionDecided_;
}

void URLSessionTask::setResponse(std::shared_ptr<const HTTPURLResponse> response) {
  std::lock_guard lock(mutex_);
  response_ = std::move(response);
}

void URLSessionTask::markCompleted() {
  std::lock_guard lock(mutex_);
  state_ = URLSessionTaskState::Completed;
}

}  // namespace tq
