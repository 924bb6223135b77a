// The facade's downloads: a file's bytes and a file's thumbnail, each one download task whose body
// lands in a download file in Documents.
#include <memory>
#include <mutex>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

// Carries a download's progress from the delegate queue to the host on the main queue. A report
// already queued when the host cancels the call is dropped there, so a cancelled download stays
// silent; the call is attached once the road has made it.
class ProgressRelay : public std::enable_shared_from_this<ProgressRelay> {
 public:
  explicit ProgressRelay(TQDownloadProgressHandler handler) : handler_(std::move(handler)) {}

  void attach(const std::shared_ptr<TQAPI>& call) {
    std::lock_guard lock(mutex_);
    call_ = call;
  }

  TQAPIProgressHandler delegateQueueHandler() {
    return [relay = shared_from_this()](int64_t /*bytes*/, int64_t totalBytes,
                                        int64_t totalBytesExpected) {
      tq::mainQueue().async([relay, totalBytes, totalBytesExpected] {
        if (!relay->cancelled()) {
          relay->handler_(totalBytes, totalBytesExpected);
        }
      });
    };
  }

 private:
  bool cancelled() const {
    std::lock_guard lock(mutex_);
    const auto call = call_.lock();
    return call && call->isCancelled();
  }

  const TQDownloadProgressHandler handler_;
  mutable std::mutex mutex_;
  std::weak_ptr<TQAPI> call_;
};

}  // namespace

std::shared_ptr<TQFilesAPI> TQAPISDK::downloadFile(std::shared_ptr<TQFilesAPIParams> params,
                                                   TQDownloadProgressHandler progressHandler,
                                                   TQAPICompletionHandler completionHandler) {
  if (!progressHandler) {
    return startSingleCall<TQFilesAPI>(std::move(params), std::move(completionHandler),
                                       TQCallStart::download(nullptr));
  }
  const auto relay = std::make_shared<ProgressRelay>(std::move(progressHandler));
  auto call = startSingleCall<TQFilesAPI>(std::move(params), std::move(completionHandler),
                                          TQCallStart::download(relay->delegateQueueHandler()));
  relay->attach(call);
  return call;
}

std::shared_ptr<TQThumbnailAPI> TQAPISDK::downloadThumbnail(
    std::shared_ptr<TQThumbnailAPIParams> params, TQAPICompletionHandler completionHandler) {
  return startSingleCall<TQThumbnailAPI>(std::move(params), std::move(completionHandler),
                                         TQCallStart::download(nullptr));
}
