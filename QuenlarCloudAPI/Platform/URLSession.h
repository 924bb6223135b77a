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
