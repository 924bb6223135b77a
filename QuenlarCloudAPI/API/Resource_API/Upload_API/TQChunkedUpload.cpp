#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQChunkedUpload.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <system_error>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPI.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

constexpr int kChunkExpectedStatus = 201;

}  // namespace

// Travels inside the handler each chunk call keeps. A call lets its handler go without calling it
// only when it was cancelled, and nothing else would tell the upload, which would then wait for
// good with its chunk files in place. The news goes through the global queue because the call
// may let go of its handler while it holds a lock.
class TQChunkedUpload::HandlerWatch {
 public:
  explicit HandlerWatch(std::shared_ptr<TQChunkedUpload> upload) : upload_(std::move(upload)) {}
  HandlerWatch(const HandlerWatch&) = delete;
  HandlerWatch& operator=(const HandlerWatch&) = delete;
  ~HandlerWatch() {
    if (!called_.load()) {
      tq::globalQueue().async([upload = std::move(upload_)] { upload->end(nullptr); });
    }
  }

  void markCalled() { called_.store(true); }

 private:
  std::shared_ptr<TQChunkedUpload> upload_;
  std::atomic<bool> called_{false};
};

TQChunkedUpload::TQChunkedUpload(std::weak_ptr<TQAPISDK> facade,
                                 std::shared_ptr<const TQUploadAPIParams> record,
                                 std::shared_ptr<TQUploadReport> report,
                                 std::function<void(int64_t bytesSent)> allChunksSent)
    : facade_(std::move(facade)),
      record_(std::move(record)),
      report_(std::move(report)),
      allChunksSent_(std::move(allChunksSent)) {}

TQChunkedUpload::~TQChunkedUpload() { removeChunkDirectory(); }

void TQChunkedUpload::start(const std::vector<std::shared_ptr<TQFileSplitInfo>>& chunks) {
  report_->progress(TQUploadProgressStateStarted, 0, 0);
  const auto facade = facade_.lock();
  if (!facade || chunks.empty()) {
    end(TQUploadReport::failure(tq::URLError(tq::URLError::Unknown, "The file gave no chunk.")));
    return;
  }
  std::vector<std::shared_ptr<TQUploadAPI>> calls;
  {
    std::lock_guard lock(mutex_);
    directory_ = std::filesystem::path(chunks.front()->chunkFilePath).parent_path();
    directoryLock_ = chunks.front()->directoryLock;
    for (const auto& chunk : chunks) {
      chunkFiles_.emplace_back(chunk->chunkFilePath);
    }
  }
  try {
    for (const auto& chunk : chunks) {
      auto params = std::make_shared<TQUploadAPIParams>(*record_);
      params->chunk = true;
      params->offset = chunk->offset;
      facade->copyAccessToken(params.get());
      auto call = TQAPI::initWithParameters<TQUploadAPI>(std::move(params));
      call->prepareQuery();
      calls.push_back(std::move(call));
    }
  } catch (const std::exception& e) {
    // A record the facade checked before cannot fail here, but nothing may escape this queue.
    end(TQUploadReport::failure(tq::URLError(tq::URLError::Unknown, e.what())));
    return;
  }
  {
    std::lock_guard lock(mutex_);
    pending_ = calls;
    sentByChunk_.assign(calls.size(), 0);
  }
  // All of them, before the first starts: a logout from now on cancels the upload whole.
  for (const auto& call : calls) {
    facade->apiArray().add(call);
  }
  for (size_t index = 0; index < calls.size(); ++index) {
    if (hasEnded()) {
      break;
    }
    const auto& call = calls[index];
    const auto watch = std::make_shared<HandlerWatch>(shared_from_this());
    const std::weak_ptr<TQUploadAPI> weakCall = call;
    facade->registerAndStart(
        call,
        TQCallStart::upload(tq::URL::fileURLWithPath(chunkFiles_[index]),
                            [self = shared_from_this(), index](int64_t /*bytes*/, int64_t total,
                                                               int64_t /*expected*/) {
                              self->chunkProgress(index, total);
                            }),
        [self = shared_from_this(), index, weakCall,
         watch](const std::shared_ptr<TQAPIQueryResponse>& response) -> std::function<void()> {
          watch->markCalled();
          if (const auto answered = weakCall.lock()) {
            self->chunkAnswered(index, answered, response);
          }
          return nullptr;  // the host hears of the upload as a whole, not of its chunks
        });
    // Cancelled by a failure in the meantime: it started nothing, but registering put it back.
    if (call->isCancelled()) {
      facade->apiArray().remove(call);
    }
  }
}

void TQChunkedUpload::chunkAnswered(size_t index, const std::shared_ptr<TQUploadAPI>& call,
                                    const std::shared_ptr<TQAPIQueryResponse>& response) {
  if (!TQAPIQueryResponse_Helper::answeredWith(*response, kChunkExpectedStatus)) {
    end(response);
    return;
  }
  bool last = false;
  int64_t sent = 0;
  std::filesystem::path chunkFile;
  {
    std::lock_guard lock(mutex_);
    if (ended_) {
      return;
    }
    // Taking it off and testing for the empty list are one step: exactly one answer finds it so.
    pending_.erase(std::remove(pending_.begin(), pending_.end(), call), pending_.end());
    last = pending_.empty();
    sent = sent_;
    chunkFile = chunkFiles_[index];
  }
  // Off the list of live calls before the next step: the commit starts from here.
  if (const auto facade = facade_.lock()) {
    facade->apiArray().remove(call);
  }
  std::error_code ignored;
  std::filesystem::remove(chunkFile, ignored);
  if (last) {
    removeChunkDirectory();
    allChunksSent_(sent);
  }
}

void TQChunkedUpload::chunkProgress(size_t index, int64_t totalBytesSent) {
  int64_t sent = 0;
  {
    std::lock_guard lock(mutex_);
    if (ended_ || index >= sentByChunk_.size()) {
      return;
    }
    // Each task reports its own running total, and a chunk sent again after a token refresh
    // starts over from 0: only what goes past that chunk's best so far is new.
    int64_t& best = sentByChunk_[index];
    if (totalBytesSent <= best) {
      return;
    }
    sent_ += totalBytesSent - best;
    best = totalBytesSent;
    sent = sent_;
  }
  report_->progress(TQUploadProgressStateUploading, sent, record_->size);
}

void TQChunkedUpload::end(const std::shared_ptr<TQAPIQueryResponse>& response) {
  std::vector<std::shared_ptr<TQUploadAPI>> rest;
  {
    std::lock_guard lock(mutex_);
    if (ended_) {
      return;
    }
    ended_ = true;
    rest.swap(pending_);
  }
  if (!response) {
    // Cancelled: a chunk's progress that slipped past the check above must not reach the host.
    report_->endQuietly();
  }
  for (const auto& call : rest) {
    call->cancelAPI();
  }
  removeChunkDirectory();
  if (response) {
    report_->completeOnMainQueue(nullptr, response);
  }
}

bool TQChunkedUpload::hasEnded() const {
  std::lock_guard lock(mutex_);
  return ended_;
}

void TQChunkedUpload::removeChunkDirectory() const {
  std::filesystem::path directory;
  std::vector<std::filesystem::path> files;
  {
    std::lock_guard lock(mutex_);
    directory = directory_;
    files = chunkFiles_;
  }
  // The chunk files by name, then the directory only if that left it empty: nothing that is not
  // this upload's own is ever removed.
  std::error_code ignored;
  for (const auto& file : files) {
    std::filesystem::remove(file, ignored);
  }
  if (!directory.empty()) {
    std::filesystem::remove(directory, ignored);
  }
}
