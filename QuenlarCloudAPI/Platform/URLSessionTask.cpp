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
    if (started_ || completionClaimed_) {
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
  if (claimCompletion(true)) {
    markCompleted();
  }
}

bool URLSessionTask::claimCompletion(bool byCancel) {
  std::lock_guard lock(mutex_);
  if (completionClaimed_) {
    return false;
  }
  completionClaimed_ = true;
  if (byCancel) {
    cancelled_ = true;
    state_ = URLSessionTaskState::Canceling;
  } else {
    state_ = URLSessionTaskState::Completed;
  }
  return true;
}

void URLSessionTask::markCompleted() {
  std::lock_guard lock(mutex_);
  state_ = URLSessionTaskState::Completed;
}

void URLSessionTask::setResponse(std::shared_ptr<const HTTPURLResponse> response) {
  std::lock_guard lock(mutex_);
  response_ = std::move(response);
}

bool URLSessionTask::started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

}  // namespace tq
