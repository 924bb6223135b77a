#include "QuenlarCloudAPI/Model/TQFile_FileOperation.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPI.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

constexpr int32_t kThumbnailSide = 320;

float fractionOf(int64_t written, int64_t recordedSize, int64_t expected) {
  const int64_t whole = recordedSize > 0 ? recordedSize : expected;
  if (whole <= 0 || written <= 0) {
    return 0.0F;
  }
  return std::min(1.0F, static_cast<float>(written) / static_cast<float>(whole));
}

}  // namespace

namespace TQFile_FileOperation {

std::shared_ptr<TQFilesAPI> downloadFileWithProgressHandler(
    const TQFile& file, TQFileDownloadProgressHandler progressHandler,
    TQAPICompletionHandler andCompletionHandler) {
  auto params = std::make_shared<TQFilesAPIParams>();
  params->path = file.fullPath().value_or("");
  TQDownloadProgressHandler bytesHandler;
  if (progressHandler) {
    // Read once: a file bound to a stored row would otherwise read the store at every report.
    const auto size = file.size();
    const int64_t recordedSize = size ? size->int64Value() : 0;
    bytesHandler = [progressHandler = std::move(progressHandler), recordedSize](int64_t written,
                                                                                int64_t expected) {
      progressHandler(fractionOf(written, recordedSize, expected));
    };
  }
  return TQAPISDK::sharedInstance()->downloadFile(std::move(params), std::move(bytesHandler),
                                                  std::move(andCompletionHandler));
}

std::shared_ptr<TQThumbnailAPI> downloadThumbnailWithCompletionHandler(
    const TQFile& file, TQAPICompletionHandler completionHandler) {
  auto params = std::make_shared<TQThumbnailAPIParams>();
  params->th = kThumbnailSide;
  params->tw = kThumbnailSide;
  params->contentToken = file.contentToken().value_or("");
  return TQAPISDK::sharedInstance()->downloadThumbnail(std::move(params),
                                                       std::move(completionHandler));
}

}  // namespace TQFile_FileOperation
