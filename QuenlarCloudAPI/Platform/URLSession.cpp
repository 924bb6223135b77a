#include "QuenlarCloudAPI/Platform/URLSession.h"

#include <algorithm>
#include <atomic>

#include "QuenlarCloudAPI/Platform/URLSessionCore.h"

namespace tq {
namespace {

std::atomic<int64_t>& maximumResponseDataLengthSetting() {
  static std::atomic<int64_t> setting{URLSession::kDefaultMaximumResponseDataLength};
  return setting;
}

}  // namespace

void URLSession::setMaximumResponseDataLength(int64_t bytes) {
  maximumResponseDataLengthSetting().store(std::max<int64_t>(bytes, 0));
}

int64_t URLSession::maximumResponseDataLength() {
  return maximumResponseDataLengthSetting().load();
}

std::shared_ptr<URLSession> URLSession::sessionWithConfiguration(
    const URLSessionConfiguration& configuration, std::weak_ptr<URLSessionDelegate> delegate) {
  auto core = std::make_shared<detail::URLSessionCore>(configuration, std::move(delegate),
                                                       maximumResponseDataLength());
  auto session = std::make_shared<URLSession>(Key(), core);
  core->launch(session);
  return session;
}

URLSession::URLSession(Key /*key*/, std::shared_ptr<detail::URLSessionCore> core)
    : core_(std::move(core)) {}

URLSession::~URLSession() { core_->shutdown(); }

const URLSessionConfiguration& URLSession::configuration() const { return core_->configuration(); }

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const { return core_->delegate(); }

DispatchQueue& URLSession::delegateQueue() const { return core_->delegateQueue(); }

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(URLRequest request) {
  return core_->makeDataTask(std::move(request));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(URLRequest request) {
  return core_->makeDownloadTask(std::move(request));
}

std::shared_ptr<URLSessionUploadTask> URLSession::uploadTaskWithRequest(URLRequest request,
                                                                        URL fromFile) {
  return core_->makeUploadTask(std::move(request), std::move(fromFile));
}

void URLSession::getAllTasksWithCompletionHandler(
    std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> completionHandler) {
  core_->getAllTasks(std::move(completionHandler));
}

}  // namespace tq
