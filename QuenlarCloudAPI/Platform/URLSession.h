// URLSession: runs HTTP requests as tasks and reports their events to a delegate, standing in for
// the platform's URL session.
//
// Promises:
// - Each session has one network thread (libcurl's multi interface: connections are reused, at
//   most HTTPMaximumConnectionsPerHost() transfers and connections to one host at a time; further
//   tasks wait in the session in the order they were resumed) and one serial delegate queue, on
//   which every delegate event runs in the order URLSessionDelegate.h describes.
// - Task identifiers count from 1 in each session.
// - Every member is safe from any thread, delegate events included; none waits for the network.
// - A data or upload task delivers at most maximumResponseDataLength() bytes of body. An answer
//   that announces a longer body fails as soon as its header fields are in, before any of the body
//   is read; one that turns out longer as it streams (chunked, or close-delimited) stops reading
//   there, the piece that crossed the limit is not delivered, and the pieces before it stay
//   delivered. Both complete with URLError::DataLengthExceedsMaximum after their response.
//   Download tasks stream to disk and have no such limit.
// - Redirects are not followed: a 3xx answer is the task's response, as the service never
//   redirects its API and the sign-in flow must see its redirect rather than follow it.
// - No time-out beyond the platform's default: a task fails with URLError::TimedOut after 60
//   seconds without a byte moving. TLS peers are verified.
// - The session holds its delegate weakly: the host keeps the delegate alive for as long as it
//   wants events (the library's holder lives for the process). With no delegate, events are
//   dropped and responses are allowed.
// - Destroying the session (the last std::shared_ptr going, from any thread, the delegate queue
//   included) cancels every outstanding task without further events, removes their files and
//   joins the network thread. Events already queued are dropped, since no session is left to
//   name in them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLRequest.h"
#include "QuenlarCloudAPI/Platform/URLSessionConfiguration.h"
#include "QuenlarCloudAPI/Platform/URLSessionDelegate.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

namespace tq {

namespace detail {
class URLSessionCore;
}

class URLSession final {
  struct Key {
    explicit Key() = default;
  };

 public:
  static std::shared_ptr<URLSession> sessionWithConfiguration(
      const URLSessionConfiguration& configuration, std::weak_ptr<URLSessionDelegate> delegate);

  // The body bytes a data or upload task may deliver, for every session of the process: a bound on
  // what a hostile or broken server can make the host hold and parse.
  // A download task's body streams into a new file in Environment::temporaryDirectory() named
  // this prefix and six letters or digits, locked (FileSystem) until the delegate has seen it.
  static constexpr const char* kDownloadFileNamePrefix = "URLSessionDownload-";

  static constexpr int64_t kDefaultMaximumResponseDataLength = int64_t{256} << 20;
  // A session takes the value in force when it is made, so a host sets it before the library's
  // first call (which makes the library's sessions). Values below 0 count as 0 (only empty bodies
  // pass). Safe from any thread.
  static void setMaximumResponseDataLength(int64_t bytes);
  static int64_t maximumResponseDataLength();

  URLSession(Key key, std::shared_ptr<detail::URLSessionCore> core);
  ~URLSession();
  URLSession(const URLSession&) = delete;
  URLSession& operator=(const URLSession&) = delete;

  const URLSessionConfiguration& configuration() const;
  // nullptr once the delegate is gone.
  std::shared_ptr<URLSessionDelegate> delegate() const;
  // The serial queue on which delegate events run.
  DispatchQueue& delegateQueue() const;

  // New tasks start suspended; call resume().
  std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(URLRequest request);
  std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(URLRequest request);
  // Sends the file at `fromFile` (a file URL) as the body, with the request's method.
  std::shared_ptr<URLSessionUploadTask> uploadTaskWithRequest(URLRequest request, URL fromFile);

  // Answers on the delegate queue with the tasks made and not yet completed, in the order they
  // were made.
  void getAllTasksWithCompletionHandler(
      std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> completionHandler);

 private:
  std::shared_ptr<detail::URLSessionCore> core_;
};

}  // namespace tq
