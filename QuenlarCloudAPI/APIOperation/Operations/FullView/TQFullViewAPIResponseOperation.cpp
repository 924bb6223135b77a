#include "QuenlarCloudAPI/APIOperation/Operations/FullView/TQFullViewAPIResponseOperation.h"

#include <string>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewMerge.h"
#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

constexpr int kExpectedStatus = 200;

bool endedByLogout(const TQStoreError& error) {
  return error.code == TQStoreErrorCode::StoreWasReset ||
         error.code == TQStoreErrorCode::Superseded;
}

}  // namespace

TQFullViewAPIResponseOperation::TQFullViewAPIResponseOperation(SpoolSource spool,
                                                               std::optional<uint64_t> epoch)
    : spool_(std::move(spool)),
      epoch_(epoch ? *epoch : TQPersistentStore::sharedPersistentStore()->currentEpoch()) {}

void TQFullViewAPIResponseOperation::main() {
  const auto outcome = response();
  if (!outcome || !TQAPIQueryResponse_Helper::answeredWith(*outcome, kExpectedStatus)) {
    return;
  }
  if (auto failure = merge(*outcome)) {
    reportFailure(std::move(*failure));
  }
}

std::optional<tq::URLError> TQFullViewAPIResponseOperation::merge(
    const TQAPIQueryResponse& outcome) const {
  const auto answer = outcome.urlResponse();
  const auto spool = spool_ ? spool_() : nullptr;
  if (!answer || !spool) {
    return notMerged(tq::URLError(tq::URLError::BadServerResponse,
                                  "The fullview answer has no body that could be read; its "
                                  "folder was not merged."));
  }
  if (spool->failed()) {
    return notMerged(tq::URLError(tq::URLError::CannotWriteToFile,
                                  "The fullview answer could not be kept in a temporary file; its "
                                  "folder was not merged."));
  }
  // The folder's key is the name as the URL carries it, still percent-encoded.
  const auto folderKey = NSURL_Helper::valueForParameter(answer->url(), "virtualfolder");
  const auto eTag = answer->valueForHTTPHeaderField(TQFullViewAPI::kAnswerETagHeader);
  TQStoreError error;
  switch (TQFullViewMerge::merge(*TQPersistentStore::sharedPersistentStore(), epoch_, folderKey,
                                 eTag, *spool, &error)) {
    case TQFullViewMerge::Result::Merged:
      return std::nullopt;
    case TQFullViewMerge::Result::Unreadable:
      return notMerged(
          tq::URLError(tq::URLError::BadServerResponse,
                       "The fullview answer is not one JSON object; its folder was not merged."));
    case TQFullViewMerge::Result::NotStored:
      break;
  }
  // A logout's doing is no fault to log: the store was emptied on purpose. The sync still did
  // not bring the store up to date, which is what the host hears.
  if (endedByLogout(error)) {
    return tq::URLError(tq::URLError::Cancelled,
                        "A logout ended the full sync before the fullview answer was merged.");
  }
  return notMerged(tq::URLError(tq::URLError::CannotWriteToFile,
                                "The fullview answer could not be written into the local store: " +
                                    error.localizedDescription));
}

tq::URLError TQFullViewAPIResponseOperation::notMerged(tq::URLError error) {
  tq::systemLog("[ERROR] " + error.localizedDescription());
  return error;
}
