// URLSessionDelegate: the events a URL session reports about its tasks.
//
// Every method runs on the session's own serial delegate queue, one event at a time. For one task
// the events come in this order, and the completion is always the last:
//   data and upload tasks: didSendBodyData... (when the request has a body), didReceiveResponse,
//                          didReceiveData..., didCompleteWithError
//   download tasks:        didWriteData..., didFinishDownloadingToURL, didCompleteWithError
// A download task gets no didReceiveResponse; its response() is set before its first
// didWriteData. Progress events are spaced out, but the last one always carries the final totals.
// Once a task is cancelled, its only further event is didCompleteWithError(URLError::Cancelled).
// Each method does nothing by default, except didReceiveResponse, which lets the task go on.
// A method may start, resume or cancel tasks of the same session; it never blocks the session.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

namespace tq {

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;

enum class URLSessionResponseDisposition { Cancel = 0, Allow = 1 };

class URLSessionDelegate {
 public:
  virtual ~URLSessionDelegate() = default;

  // The response's header fields are complete. No body piece and no completion of the task
  // reaches the delegate until `completionHandler` is called (from any thread; only the first
  // answer counts): Allow lets them through, Cancel completes the task with
  // URLError::Cancelled. Meanwhile the transfer reads ahead at most a few MiB.
  virtual void didReceiveResponse(
      URLSession& session, const std::shared_ptr<URLSessionDataTask>& dataTask,
      const std::shared_ptr<const HTTPURLResponse>& response,
      std::function<void(URLSessionResponseDisposition)> completionHandler);

  // The next piece of the response body (never empty). Pieces of one task arrive in order.
  virtual void didReceiveData(URLSession& /*session*/,
                              const std::shared_ptr<URLSessionDataTask>& /*dataTask*/,
                              const std::string& /*data*/) {}

  // Progress of sending the request body.
  virtual void didSendBodyData(URLSession& /*session*/,
                               const std::shared_ptr<URLSessionTask>& /*task*/,
                               int64_t /*bytesSent*/, int64_t /*totalBytesSent*/,
                               int64_t /*totalBytesExpectedToSend*/) {}

  // Progress of writing a download to its temporary file; the expected total is -1 when the
  // server announced no length.
  virtual void didWriteData(URLSession& /*session*/,
                            const std::shared_ptr<URLSessionDownloadTask>& /*downloadTask*/,
                            int64_t /*bytesWritten*/, int64_t /*totalBytesWritten*/,
                            int64_t /*totalBytesExpectedToWrite*/) {}

  // The whole body is in the file at `location`, whatever the status code. The file is removed
  // when this method returns: move or copy it before.
  virtual void didFinishDownloadingToURL(
      URLSession& /*session*/, const std::shared_ptr<URLSessionDownloadTask>& /*downloadTask*/,
      const URL& /*location*/) {}

  // The task is over: nullopt on success (any status code), else why it failed.
  virtual void didCompleteWithError(URLSession& /*session*/,
                                    const std::shared_ptr<URLSessionTask>& /*task*/,
                                    const std::optional<URLError>& /*error*/) {}

  // A background session has completed its last outstanding task.
  virtual void didFinishEventsForBackgroundURLSession(URLSession& /*session*/) {}
};

}  // namespace tq
