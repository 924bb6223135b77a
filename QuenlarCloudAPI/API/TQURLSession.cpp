#include "QuenlarCloudAPI/API/TQURLSession.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/OperationQueue.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

std::shared_ptr<TQAPI> callFor(const tq::URLSession& session, const tq::URLSessionTask& task) {
  return TQAPISDK::sharedInstance()->getAPIWithID(task.taskIdentifier(),
                                                  session.configuration().identifier());
}

// Answers Cancel if the disposition was never given, so that a response no call takes (or one
// whose call failed to answer) ends its task instead of holding a connection open.
class DispositionGuard {
 public:
  explicit DispositionGuard(std::function<void(tq::URLSessionResponseDisposition)> answer)
      : answer_(std::move(answer)) {}
  ~DispositionGuard() {
    if (answer_) {
      answer_(tq::URLSessionResponseDisposition::Cancel);
    }
  }
  DispositionGuard(const DispositionGuard&) = delete;
  DispositionGuard& operator=(const DispositionGuard&) = delete;

  void operator()(tq::URLSessionResponseDisposition disposition) {
    if (auto answer = std::exchange(answer_, nullptr)) {
      answer(disposition);
    }
  }

 private:
  std::function<void(tq::URLSessionResponseDisposition)> answer_;
};

}  // namespace

std::shared_ptr<TQURLSession> TQURLSession::sharedURLSession() {
  // Never destroyed: sessions and queued events may outlive static destruction at exit.
  static auto* instance = [] {
    auto holder = std::make_shared<TQURLSession>(Key{});
    holder->self_ = holder;
    holder->setUpSessions();
    return new std::shared_ptr<TQURLSession>(std::move(holder));
  }();
  return *instance;
}

void TQURLSession::setUpSessions() {
  backgroundSession_ = setUpBackgroundSession();
  defaultSession_ = setUpDefaultSession();
}

std::shared_ptr<tq::URLSession> TQURLSession::setUpBackgroundSession() {
  const auto bundleIdentifier = tq::Bundle::libraryBundle()->bundleIdentifier();
  // A bundle without an identifier reads as "(null)", as a missing value is written throughout.
  auto configuration = tq::URLSessionConfiguration::backgroundSessionConfigurationWithIdentifier(
      bundleIdentifier.value_or("(null)") + ".uploadSession");
  configuration.setHTTPMaximumConnectionsPerHost(maximum_Http_Connections);
  return tq::URLSession::sessionWithConfiguration(configuration, self_);
}

std::shared_ptr<tq::URLSession> TQURLSession::setUpDefaultSession() {
  auto configuration = tq::URLSessionConfiguration::defaultSessionConfiguration();
  configuration.setHTTPMaximumConnectionsPerHost(maximum_Http_Connections);
  return tq::URLSession::sessionWithConfiguration(configuration, self_);
}

std::function<void()> TQURLSession::backgroundSessionCompletionHandler() const {
  std::lock_guard lock(handlerMutex_);
  return backgroundSessionCompletionHandler_;
}

void TQURLSession::setBackgroundSessionCompletionHandler(std::function<void()> handler) {
  std::function<void()> previous;
  std::lock_guard lock(handlerMutex_);
  previous = std::exchange(backgroundSessionCompletionHandler_, std::move(handler));
}

void TQURLSession::didReceiveResponse(
    tq::URLSession& session, const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
    const std::shared_ptr<const tq::HTTPURLResponse>& response,
    std::function<void(tq::URLSessionResponseDisposition)> completionHandler) {
  auto guard = std::make_shared<DispositionGuard>(std::move(completionHandler));
  if (auto call = callFor(session, *dataTask)) {
    call->didReceiveResponse(
        session, dataTask, response,
        [guard](tq::URLSessionResponseDisposition disposition) { (*guard)(disposition); });
  }
}

void TQURLSession::didReceiveData(tq::URLSession& session,
                                  const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
                                  const std::string& data) {
  if (auto call = callFor(session, *dataTask)) {
    call->didReceiveData(session, dataTask, data);
  }
}

void TQURLSession::didSendBodyData(tq::URLSession& session,
                                   const std::shared_ptr<tq::URLSessionTask>& task,
                                   int64_t bytesSent, int64_t totalBytesSent,
                                   int64_t totalBytesExpectedToSend) {
  if (auto call = callFor(session, *task)) {
    call->didSendBodyData(session, task, bytesSent, totalBytesSent, totalBytesExpectedToSend);
  }
}

void TQURLSession::didWriteData(tq::URLSession& session,
                                const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                                int64_t bytesWritten, int64_t totalBytesWritten,
                                int64_t totalBytesExpectedToWrite) {
  if (auto call = callFor(session, *downloadTask)) {
    call->didWriteData(session, downloadTask, bytesWritten, totalBytesWritten,
                       totalBytesExpectedToWrite);
  }
}

void TQURLSession::didFinishDownloadingToURL(
    tq::URLSession& session, const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
    const tq::URL& location) {
  if (auto call = callFor(session, *downloadTask)) {
    call->didFinishDownloadingToURL(session, downloadTask, location);
  }
}

void TQURLSession::didCompleteWithError(tq::URLSession& session,
                                        const std::shared_ptr<tq::URLSessionTask>& task,
                                        const std::optional<tq::URLError>& error) {
  if (auto call = callFor(session, *task)) {
    call->didCompleteWithError(session, task, error);
  }
}

void TQURLSession::didFinishEventsForBackgroundURLSession(tq::URLSession& /*session*/) {
  // The stored background session is asked, whatever session the event names.
  backgroundSession_->getAllTasksWithCompletionHandler(
      [weakSelf = self_](const std::vector<std::shared_ptr<tq::URLSessionTask>>& tasks) {
        auto self = weakSelf.lock();
        if (!self || !tasks.empty()) {
          return;
        }
        std::function<void()> handler;
        {
          std::lock_guard lock(self->handlerMutex_);
          handler = std::exchange(self->backgroundSessionCompletionHandler_, nullptr);
        }
        if (handler) {
          tq::mainOperationQueue().addOperationWithBlock(std::move(handler));
        }
      });
}
