#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadReport.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"

void TQUploadReport::progress(TQUploadProgressState state, int64_t bytesDone, int64_t bytesTotal) {
  tq::mainQueue().async([self = shared_from_this(), state, bytesDone, bytesTotal] {
    if (!self->completed_.load() && self->progress_) {
      self->progress_(state, bytesDone, bytesTotal);
    }
  });
}

void TQUploadReport::complete(const std::shared_ptr<TQMetadata>& metadata,
                              const std::shared_ptr<TQAPIQueryResponse>& response) {
  if (completed_.exchange(true)) {
    return;
  }
  const auto completion = std::exchange(completion_, nullptr);
  progress_ = nullptr;
  if (completion) {
    completion(metadata, response);
  }
}

void TQUploadReport::completeOnMainQueue(std::shared_ptr<TQMetadata> metadata,
                                         std::shared_ptr<TQAPIQueryResponse> response) {
  tq::mainQueue().async([self = shared_from_this(), metadata = std::move(metadata),
                         response = std::move(response)] { self->complete(metadata, response); });
}

void TQUploadReport::endQuietly() {
  if (completed_.exchange(true)) {
    return;
  }
  // The handlers go on the main queue, the only place they are touched.
  tq::mainQueue().async([self = shared_from_this()] {
    self->completion_ = nullptr;
    self->progress_ = nullptr;
  });
}

std::shared_ptr<TQAPIQueryResponse> TQUploadReport::failure(tq::URLError error) {
  auto response = std::make_shared<TQAPIQueryResponse>();
  response->setError(std::move(error));
  return response;
}
