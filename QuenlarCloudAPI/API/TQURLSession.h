// TQURLSession: owner of the library's two URL sessions and delegate of both. The default
// session carries data calls; the background session (identifier "<library bundle
// identifier>.uploadSession") carries downloads and uploads. Both allow maximum_Http_Connections
// connections per host. Each session event is handed on unchanged to the live call that owns the
// task (found through the facade); an event whose call is not live is dropped, and a response
// nobody answers cancels its task instead of holding its connection.
//
// One per process (sharedURLSession(), made on first use from any thread, never destroyed).
// Events run on each session's own serial delegate queue; the stored background-session handler
// runs on the main queue. Every member is safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "QuenlarCloudAPI/Platform/URLSessionDelegate.h"

inline constexpr int32_t maximum_Http_Connections = 30;

class TQURLSession final : public tq::URLSessionDelegate {
  struct Key {};

 public:
  explicit TQURLSession(Key /*key*/) {}
  TQURLSession(const TQURLSession&) = delete;
  TQURLSession& operator=(const TQURLSession&) = delete;

  // Makes the background session, then the default session, on first use.
  static std::shared_ptr<TQURLSession> sharedURLSession();

  const std::shared_ptr<tq::URLSession>& backgroundSession() const { return backgroundSession_; }
  const std::shared_ptr<tq::URLSession>& defaultSession() const { return defaultSession_; }

  // The host's handler for background-session events; empty when none is waiting.
  std::function<void()> backgroundSessionCompletionHandler() const;
  void setBackgroundSessionCompletionHandler(std::function<void()> handler);

  void didReceiveResponse(
      tq::URLSession& session, const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
      const std::shared_ptr<const tq::HTTPURLResponse>& response,
      std::function<void(tq::URLSessionResponseDisposition)> completionHandler) override;
  void didReceiveData(tq::URLSession& session,
                      const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
                      const std::string& data) override;
  void didSendBodyData(tq::URLSession& session, const std::shared_ptr<tq::URLSessionTask>& task,
                       int64_t bytesSent, int64_t totalBytesSent,
                       int64_t totalBytesExpectedToSend) override;
  void didWriteData(tq::URLSession& session,
                    const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                    int64_t bytesWritten, int64_t totalBytesWritten,
                    int64_t totalBytesExpectedToWrite) override;
  void didFinishDownloadingToURL(tq::URLSession& session,
                                 const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                                 const tq::URL& location) override;
  void didCompleteWithError(tq::URLSession& session,
                            const std::shared_ptr<tq::URLSessionTask>& task,
                            const std::optional<tq::URLError>& error) override;
  // Once the background session has no task left, runs the stored handler (once) on the main
  // queue; otherwise keeps it for a later event.
  void didFinishEventsForBackgroundURLSession(tq::URLSession& session) override;

 private:
  void setUpSessions();
  std::shared_ptr<tq::URLSession> setUpBackgroundSession();
  std::shared_ptr<tq::URLSession> setUpDefaultSession();

  std::weak_ptr<TQURLSession> self_;
  std::shared_ptr<tq::URLSession> backgroundSession_;
  std::shared_ptr<tq::URLSession> defaultSession_;
  mutable std::mutex handlerMutex_;
  std::function<void()> backgroundSessionCompletionHandler_;
};
