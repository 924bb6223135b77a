// The progress states of an upload and the handler that hears them.
#pragma once

#include <cstdint>
#include <functional>

// Where an upload stands, in the order the states come: Processing (0, 0) before the file is
// hashed, Started once the bytes are about to go, Uploading while they go, and Processing again
// (with the bytes sent) when every chunk of a chunked upload has arrived and the commit is sent.
enum TQUploadProgressState : int32_t {
  TQUploadProgressStateProcessing = 0,
  TQUploadProgressStateStarted = 1,
  TQUploadProgressStateUploading = 2,
};

// Receives each progress report: the state, the bytes sent so far and the bytes in all.
using TQUploadProgressHandler =
    std::function<void(TQUploadProgressState state, int64_t bytesDone, int64_t bytesTotal)>;
