// URL-session tasks: one HTTP request each, made by a URLSession and reported to its delegate.
//
// A task starts suspended; resume() starts it (once; later calls do nothing). cancel() completes
// it with URLError::Cancelled: before it started, while it runs, or while its response waits for
// a disposition; after completion it does nothing. Every member is safe from any thread. A task
// does not keep its session alive: once the session is gone, resume() and cancel() do nothing
// that anyone could observe.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/Platform/URLRequest.h"
#include "QuenlarCloudAPI/Platform/URLSessionBacklog.h"
#include "QuenlarCloudAPI/Platform/URLSessionGate.h"

namespace tq {

namespace detail {
class URLSessionCore;

// Only the session engine makes tasks.
class TaskKey {
  TaskKey() = default;
  friend class URLSessionCore;
};
}  // namespace detail

enum class URLSessionTaskState { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
 public:
  enum class Kind { Data, Upload, Download };

  virtual ~URLSessionTask() = default;
  URLSessionTask(const URLSessionTask&) = delete;
  URLSessionTask& operator=(const URLSessionTask&) = delete;

  // Counts from 1 in each session, in the order the tasks were made.
  uint64_t taskIdentifier() const { return identifier_; }
  const URLRequest& originalRequest() const { return request_; }
  // nullptr until the response's header fields have arrived.
  std::shared_ptr<const HTTPURLResponse> response() const;
  URLSessionTaskState state() const;

  void resume();
  void cancel();

 protected:
  URLSessionTask(Kind kind, uint64_t identifier, URLRequest request, std::optional<URL> uploadFile,
                 std::weak_ptr<detail::URLSessionCore> core);

 private:
  friend class detail::URLSessionCore;

  // Claims the right to deliver the completion; false when the task already has one. A claim by
  // cancel() leaves the task Canceling until markCompleted(); any other claim completes it.
  bool claimCompletion(bool byCancel);
  void markCompleted();
  void setResponse(std::shared_ptr<const HTTPURLResponse> response);
  bool started() const;

  const Kind kind_;
  const uint64_t identifier_;
  const URLRequest request_;
  const std::optional<URL> uploadFile_;
  const std::weak_ptr<detail::URLSessionCore> core_;

  mutable std::mutex mutex_;
  URLSessionTaskState state_ = URLSessionTaskState::Suspended;
  bool started_ = false;
  bool completionClaimed_ = false;
  std::shared_ptr<const HTTPURLResponse> response_;

  // Read by the delegate queue to drop the events of a cancelled task.
  std::atomic<bool> cancelled_{false};
  detail::URLSessionGate gate_;
  detail::URLSessionBacklog backlog_;
};

// A task whose response body arrives through didReceiveData.
class URLSessionDataTask : public URLSessionTask {
 public:
  URLSessionDataTask(detail::TaskKey /*key*/, uint64_t identifier, URLRequest request,
                     std::weak_ptr<detail::URLSessionCore> core)
      : URLSessionTask(Kind::Data, identifier, std::move(request), std::nullopt, std::move(core)) {}

 protected:
  URLSessionDataTask(Kind kind, uint64_t identifier, URLRequest request,
                     std::optional<URL> uploadFile, std::weak_ptr<detail::URLSessionCore> core)
      : URLSessionTask(kind, identifier, std::move(request), std::move(uploadFile),
                       std::move(core)) {}
};

// A data task whose request body streams from a file.
class URLSessionUploadTask final : public URLSessionDataTask {
 public:
  URLSessionUploadTask(detail::TaskKey /*key*/, uint64_t identifier, URLRequest request, URL file,
                       std::weak_ptr<detail::URLSessionCore> core)
      : URLSessionDataTask(Kind::Upload, identifier, std::move(request), std::move(file),
                           std::move(core)) {}
};

// A task whose response body streams to a temporary file (didFinishDownloadingToURL).
class URLSessionDownloadTask final : public URLSessionTask {
 public:
  URLSessionDownloadTask(detail::TaskKey /*key*/, uint64_t identifier, URLRequest request,
                         std::weak_ptr<detail::URLSessionCore> core)
      : URLSessionTask(Kind::Download, identifier, std::move(request), std::nullopt,
                       std::move(core)) {}
};

}  // namespace tq
