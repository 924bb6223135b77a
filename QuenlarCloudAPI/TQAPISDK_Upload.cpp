// The facade's upload: the checks and the hash, then the whole-file road (intent, one POST) or the
// chunked road (intent, split, chunk POSTs side by side, commit).
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQChunkedUpload.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQCommitUploadAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQIntentUploadAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadReport.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadSource.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadURLs.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Helper_Class/TQFileSplitter.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

// Files up to this size (the limit included) go whole; larger ones in chunks of kChunkSize.
constexpr int64_t kWholeFileLimit = 10485760;
constexpr int64_t kChunkSize = 5242880;
constexpr int kIntentExpectedStatus = 200;
constexpr int kStoredExpectedStatus = 201;

// The stored file of a 201 answer ("file"). Only once it is read does the host's copy go (and
// only while it is still the file that was sent): an answer that holds no stored file leaves the
// host with the one copy it has.
std::shared_ptr<TQMetadata> storedFile(const TQAPIQueryResponse& response,
                                       const TQUploadSource& source) {
  const auto json = response.jsonResponse();
  const tq::JSON* file = TQJSONReading::member(json.get(), "file");
  if (file == nullptr || !file->is_object()) {
    return nullptr;
  }
  auto metadata = TQMetadata::initWithDict(*file);
  if (metadata) {
    source.removeIfUnchanged();
  }
  return metadata;
}

// Main queue: the outcome of the step that stores the file (the whole-file POST or the commit). A
// 201 without a stored file is a failure the host must hear of, not a success without a file.
void completeStoring(TQUploadReport& report, const std::shared_ptr<TQMetadata>& metadata,
                     const std::shared_ptr<TQAPIQueryResponse>& answer) {
  if (!metadata && TQAPIQueryResponse_Helper::answeredWith(*answer, kStoredExpectedStatus)) {
    answer->setError(tq::URLError(tq::URLError::BadServerResponse,
                                  "The upload's answer holds no stored file; the local file is "
                                  "kept."));
  }
  report.complete(metadata, answer);
}

std::shared_ptr<TQAPIQueryResponse> intentWithoutURLs(
    const std::shared_ptr<TQAPIQueryResponse>& response) {
  response->setError(tq::URLError(tq::URLError::BadServerResponse,
                                  "The upload intent's answer holds no usable upload URL."));
  return response;
}

// A step that could not even be sent (the session was renewed or ended meanwhile, say) ends the
// upload with the reason; nothing raises on a queue.
std::shared_ptr<TQAPIQueryResponse> notSent(const std::exception& e) {
  tq::systemLog(std::string("An upload step could not be sent: ") + e.what());
  return TQUploadReport::failure(tq::URLError(tq::URLError::Unknown, e.what()));
}

// The upload's own record: the host's fields, on the road `chunked` says. The host's record keeps
// its own `chunk`.
std::shared_ptr<TQUploadAPIParams> workingRecord(const TQUploadAPIParams& host, bool chunked) {
  auto record = std::make_shared<TQUploadAPIParams>(host);
  record->chunk = chunked;
  record->offset = 0;
  record->uploadUrl.clear();
  record->commitUrl.clear();
  return record;
}

std::optional<TQUploadSource> sourceOrThrow(const std::string& path) {
  auto source = TQUploadSource::at(path);
  if (!source) {
    throw TQException(NSInvalidArgumentException,
                      TQLocalizedString("Local Path Invalid<REQUIRED PARAMETER> is missing."));
  }
  return source;
}

// The chunked road after its intent: the split, then the chunk phase, then the commit.
void startChunkPhase(const std::shared_ptr<TQAPISDK>& facade,
                     const std::shared_ptr<TQUploadAPIParams>& record, const TQUploadSource& source,
                     const std::shared_ptr<TQUploadReport>& report) {
  // Delegate queue, once every chunk has arrived: the commit, which stores the file.
  auto commit = [weakFacade = std::weak_ptr<TQAPISDK>(facade), record, source,
                 report](int64_t sent) {
    report->progress(TQUploadProgressStateProcessing, sent, record->size);
    const auto facade = weakFacade.lock();
    if (!facade) {
      return;
    }
    try {
      facade->startSingleCall<TQCommitUploadAPI>(
          std::make_shared<TQUploadAPIParams>(*record), kStoredExpectedStatus,
          [source](const TQAPIQueryResponse& answer) { return storedFile(answer, source); },
          [report](const std::shared_ptr<TQMetadata>& metadata,
                   const std::shared_ptr<TQAPIQueryResponse>& answer) {
            completeStoring(*report, metadata, answer);
          });
    } catch (const std::exception& e) {
      report->completeOnMainQueue(nullptr, notSent(e));
    }
  };
  auto configuration = std::make_shared<TQFileSplitConfiguration>();
  configuration->chunkSize = kChunkSize;
  configuration->filePath = source.path().string();
  TQFileSplitter::sharedInstance()->splitFileWithConfiguration(
      std::move(configuration),
      [upload = std::make_shared<TQChunkedUpload>(facade, record, report, std::move(commit)),
       report](const std::vector<std::shared_ptr<TQFileSplitInfo>>& chunks,
               const std::optional<tq::URLError>& error) {
        if (error) {
          report->completeOnMainQueue(nullptr, TQUploadReport::failure(*error));
          return;
        }
        upload->start(chunks);
      });
}

// The road's next step once the intent answered with its URLs (main queue).
using AfterIntent = void (*)(const std::shared_ptr<TQAPISDK>& facade,
                             const std::shared_ptr<TQUploadAPIParams>& record,
                             const TQUploadSource& source,
                             const std::shared_ptr<TQUploadReport>& report);

// The intent of either road, from the upload's own copy of the host's record.
void announceUpload(TQAPISDK& facade, const std::shared_ptr<TQUploadAPIParams>& params,
                    const std::string& readFromPath, bool chunked, TQUploadProgressHandler progress,
                    TQMetadataCompletionHandler completionHandler, AfterIntent next) {
  if (!params) {
    TQAPI::throwNilArgumentException();
  }
  const auto source = *sourceOrThrow(readFromPath);
  facade.copyAccessToken(params.get());
  auto record = workingRecord(*params, chunked);
  auto report = std::make_shared<TQUploadReport>(std::move(progress), std::move(completionHandler));
  facade.startSingleCall<TQIntentUploadAPI>(
      record, kIntentExpectedStatus,
      [chunked](const TQAPIQueryResponse& response) {
        return TQUploadURLs::fromIntentAnswer(response, chunked);
      },
      [weakFacade = facade.weak_from_this(), params, record, source, report, next](
          const std::optional<TQUploadURLs>& urls,
          const std::shared_ptr<TQAPIQueryResponse>& response) {
        const auto facade = weakFacade.lock();
        if (!facade) {
          return;
        }
        if (!urls) {
          const bool answered =
              TQAPIQueryResponse_Helper::answeredWith(*response, kIntentExpectedStatus);
          report->complete(nullptr, answered ? intentWithoutURLs(response) : response);
          return;
        }
        // The base as it stands now: each call that would carry these URLs reads it anew.
        if (const auto refusal = urls->refusalFor(TQAPI::getServerBaseURL())) {
          response->setError(*refusal);
          report->complete(nullptr, response);
          return;
        }
        params->uploadUrl = record->uploadUrl = urls->uploadUrl;
        if (!urls->commitUrl.empty()) {
          params->commitUrl = record->commitUrl = urls->commitUrl;
        }
        next(facade, record, source, report);
      });
}

// The whole-file road after its intent: one POST of the file.
void sendWholeFile(const std::shared_ptr<TQAPISDK>& facade,
                   const std::shared_ptr<TQUploadAPIParams>& record, const TQUploadSource& source,
                   const std::shared_ptr<TQUploadReport>& report) {
  report->progress(TQUploadProgressStateStarted, 0, 0);
  try {
    facade->startSingleCall<TQUploadAPI>(
        record, kStoredExpectedStatus,
        [source](const TQAPIQueryResponse& answer) { return storedFile(answer, source); },
        [report](const std::shared_ptr<TQMetadata>& metadata,
                 const std::shared_ptr<TQAPIQueryResponse>& answer) {
          completeStoring(*report, metadata, answer);
        },
        TQCallStart::upload(source.fileURL(),
                            [report](int64_t /*bytes*/, int64_t total, int64_t expected) {
                              report->progress(TQUploadProgressStateUploading, total, expected);
                            }));
  } catch (const std::exception& e) {
    report->complete(nullptr, notSent(e));
  }
}

}  // namespace

void TQAPISDK::uploadFile(std::shared_ptr<TQUploadAPIParams> params,
                          const std::string& readFromPath, TQUploadProgressHandler progress,
                          TQMetadataCompletionHandler completionHandler) {
  if (!isUserLoggedIn()) {
    throw TQException(NSInvalidArgumentException,
                      TQLocalizedString("access_token <REQUIRED PARAMETER> is missing."));
  }
  const auto source = sourceOrThrow(readFromPath);
  if (!params) {
    TQAPI::throwNilArgumentException();
  }
  params->size = source->size();
  copyAccessToken(params.get());
  params->validateHostFields();
  if (progress) {
    progress(TQUploadProgressStateProcessing, 0, 0);
  }

  NSString_HelperMethods::md5HashWithCompletionHandler(
      readFromPath,
      [weakFacade = weak_from_this(), params = std::move(params), readFromPath,
       progress = std::move(progress), completionHandler = std::move(completionHandler)](
          const std::optional<std::string>& checksum) mutable {
        const auto facade = weakFacade.lock();
        if (!facade) {
          return;
        }
        if (!checksum) {
          if (completionHandler) {
            completionHandler(nullptr, TQUploadReport::failure(
                                           tq::URLError(tq::URLError::NoPermissionsToReadFile,
                                                        "The file to upload could not be read.")));
          }
          return;
        }
        params->checkSum = *checksum;
        // A host that asks for chunks gets them whatever the size: the whole-file road would
        // announce chunks to the server and then send none.
        const bool chunked = params->chunk || params->size > kWholeFileLimit;
        try {
          if (chunked) {
            facade->chunkUploadFile(params, readFromPath, progress, completionHandler);
          } else {
            facade->nonChunkUploadFile(params, readFromPath, progress, completionHandler);
          }
        } catch (const std::exception& e) {
          if (completionHandler) {
            completionHandler(nullptr, notSent(e));
          }
        }
      });
}

void TQAPISDK::nonChunkUploadFile(const std::shared_ptr<TQUploadAPIParams>& params,
                                  const std::string& readFromPath, TQUploadProgressHandler progress,
                                  TQMetadataCompletionHandler completionHandler) {
  announceUpload(*this, params, readFromPath, false, std::move(progress),
                 std::move(completionHandler), sendWholeFile);
}

void TQAPISDK::chunkUploadFile(const std::shared_ptr<TQUploadAPIParams>& params,
                               const std::string& readFromPath, TQUploadProgressHandler progress,
                               TQMetadataCompletionHandler completionHandler) {
  announceUpload(*this, params, readFromPath, true, std::move(progress),
                 std::move(completionHandler), startChunkPhase);
}
