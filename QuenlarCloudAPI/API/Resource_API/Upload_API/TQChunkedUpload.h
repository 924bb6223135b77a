// TQChunkedUpload: the chunk phase of a chunked upload, from the split file to the commit. Every
// chunk file goes up side by side (the highest chunk first) as its own upload call; the chunk
// list says which have yet to answer 201.
//
// The phase ends one of three ways, each exactly once:
// - every chunk answered 201: `allChunksSent` runs with the bytes sent (it sends the commit);
// - a chunk answered anything else, or its transfer failed: the calls still on the chunk list are
//   cancelled (those not yet started never start) and the host hears that chunk's outcome;
// - a chunk call was cancelled from outside (a logout cancels every live call): the others are
//   cancelled too, and the host hears nothing, as of any cancelled call.
// Chunk files go as soon as their chunk has arrived; those left go when the phase fails or is
// cancelled (at the latest when this object goes), and their directory once it is empty. The
// host's file is never touched here.
//
// Threads: start() runs on the global queue that ran the split; answers and progress arrive on
// the background session's delegate queue; cancellations are noticed on the global queue. One
// lock guards the chunk list and the byte count, and is never held while another lock is taken.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadReport.h"
#include "QuenlarCloudAPI/Helper_Class/TQFileSplitInfo.h"

class TQAPISDK;
class TQAPIQueryResponse;
class TQUploadAPI;

class TQChunkedUpload : public std::enable_shared_from_this<TQChunkedUpload> {
 public:
  // `record` holds the upload URL, `size` the local file's size; `allChunksSent` receives the
  // bytes sent, on the delegate queue.
  TQChunkedUpload(std::weak_ptr<TQAPISDK> facade, std::shared_ptr<const TQUploadAPIParams> record,
                  std::shared_ptr<TQUploadReport> report,
                  std::function<void(int64_t bytesSent)> allChunksSent);
  ~TQChunkedUpload();
  TQChunkedUpload(const TQChunkedUpload&) = delete;
  TQChunkedUpload& operator=(const TQChunkedUpload&) = delete;

  // Reports Started, makes one call per chunk file in the order given, puts them all on the chunk
  // list and the list of live calls, then starts them in that order until one has failed.
  void start(const std::vector<std::shared_ptr<TQFileSplitInfo>>& chunks);

 private:
  class HandlerWatch;

  void chunkAnswered(size_t index, const std::shared_ptr<TQUploadAPI>& call,
                     const std::shared_ptr<TQAPIQueryResponse>& response);
  void chunkProgress(size_t index, int64_t totalBytesSent);
  // Ends the phase early: cancels what is left; reports `response` unless it is nullptr.
  void end(const std::shared_ptr<TQAPIQueryResponse>& response);
  bool hasEnded() const;
  void removeChunkDirectory() const;

  const std::weak_ptr<TQAPISDK> facade_;
  const std::shared_ptr<const TQUploadAPIParams> record_;
  const std::shared_ptr<TQUploadReport> report_;
  const std::function<void(int64_t)> allChunksSent_;

  mutable std::mutex mutex_;
  std::filesystem::path directory_;  // set once in start()
  // Released only with the upload, after the directory is removed.
  std::shared_ptr<const tq::FileDescriptor> directoryLock_;  // set once in start()
  std::vector<std::filesystem::path> chunkFiles_;            // by index; set once in start()
  std::vector<std::shared_ptr<TQUploadAPI>> pending_;        // the chunk list
  std::vector<int64_t> sentByChunk_;                         // the most each chunk's task reported
  int64_t sent_ = 0;
  bool ended_ = false;
};
