// TQUploadReport: what the host hears of one upload: its progress reports and, exactly once, its
// outcome, both on the main queue. No progress report reaches the host after the outcome.
//
// progress() and completeOnMainQueue() may be called from any thread; complete() only on the main
// queue. The host's handlers are touched only on the main queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetadataCompletionHandler.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadProgressHandler.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

class TQAPIQueryResponse;
class TQMetadata;

class TQUploadReport : public std::enable_shared_from_this<TQUploadReport> {
 public:
  TQUploadReport(TQUploadProgressHandler progress, TQMetadataCompletionHandler completion)
      : progress_(std::move(progress)), completion_(std::move(completion)) {}
  TQUploadReport(const TQUploadReport&) = delete;
  TQUploadReport& operator=(const TQUploadReport&) = delete;

  // Queues a progress report on the main queue.
  void progress(TQUploadProgressState state, int64_t bytesDone, int64_t bytesTotal);

  // Hands the outcome to the host, the first time only; the handlers are let go afterwards.
  void complete(const std::shared_ptr<TQMetadata>& metadata,
                const std::shared_ptr<TQAPIQueryResponse>& response);
  void completeOnMainQueue(std::shared_ptr<TQMetadata> metadata,
                           std::shared_ptr<TQAPIQueryResponse> response);

  // Ends the upload without an outcome (it was cancelled): from now on the host hears nothing,
  // not even a progress report already queued. Any thread.
  void endQuietly();

  bool isComplete() const { return completed_.load(); }

  // An outcome without an answer that carries `error`: how the upload reports a failure of its
  // own (an unreadable file, an intent answer without URLs).
  static std::shared_ptr<TQAPIQueryResponse> failure(tq::URLError error);

 private:
  TQUploadProgressHandler progress_;
  TQMetadataCompletionHandler completion_;
  std::atomic<bool> completed_{false};
};
