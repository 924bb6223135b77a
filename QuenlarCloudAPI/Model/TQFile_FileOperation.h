// TQFile(FileOperation): a file downloads its own bytes or its thumbnail through the facade
// (TQAPISDK::downloadFile, TQAPISDK::downloadThumbnail), which prepares and starts the call on the
// caller's thread and raises as it does. Handlers run on the main queue; the file object is read
// when the download starts and not held afterwards.
#pragma once

#include <functional>
#include <memory>

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQFile;
class TQFilesAPI;
class TQThumbnailAPI;

// Receives a file download's progress as a fraction between 0 and 1.
using TQFileDownloadProgressHandler = std::function<void(float progress)>;

namespace TQFile_FileOperation {

// Downloads the file at its fullPath(); a file without one raises the missing-parameter
// exception for "path". Progress is the bytes written so far over the file's recorded size; when
// that size is unknown or 0, over the length the server announced; when neither is known, 0.
// It never leaves 0..1, so a recorded size smaller than the bytes that came reads as 1.
std::shared_ptr<TQFilesAPI> downloadFileWithProgressHandler(
    const TQFile& file, TQFileDownloadProgressHandler progressHandler,
    TQAPICompletionHandler andCompletionHandler);

// Downloads the file's thumbnail at 320 by 320 pixels, by its contentToken().
std::shared_ptr<TQThumbnailAPI> downloadThumbnailWithCompletionHandler(
    const TQFile& file, TQAPICompletionHandler completionHandler);

}  // namespace TQFile_FileOperation
