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
  setExecuting(true);
  // A cancel that came before the operation counted as executing left the finishing to us.
  if (mergeState_.load() == MergeState::Dropped) {
    finishAsynchronousRead();
    return;
  }
  const auto outcome = response();
  if (!outcome || !TQAPIQueryResponse_Helper::answeredWith(*outcome, kExpectedStatus)) {
    finishAsynchronousRead();
    return;
  }
  const auto answer = outcome->urlResponse();
  auto spool = spool_ ? spool_() : nullptr;
  if (!answer || !spool) {
    endWith(notMerged(tq::URLError(tq::URLError::BadServerResponse,
                                   "The fullview answer has no body that could be read; its "
                                   "folder was not merged.")));
    return;
  }
  if (spool->failed()) {
    endWith(notMerged(tq::URLError(tq::URLError::CannotWriteToFile,
                                   "The fullview answer could not be kept in a temporary file; "
                                   "its folder was not merged.")));
    return;
  }
  // The folder's key is the name as the URL carries it, still percent-encoded.
  auto folderKey = NSURL_Helper::valueForParameter(answer->url(), "virtualfolder");
  auto eTag = answer->valueForHTTPHeaderField(TQFullViewAPI::kAnswerETagHeader);
  const auto self = std::static_pointer_cast<TQFullViewAPIResponseOperation>(shared_from_this());
  const auto store = TQPersistentStore::sharedPersistentStore();
  store->performWriteAsync(
      epoch_,
      [self, store, folderKey = std::move(folderKey), eTag = std::move(eTag),
       spool = std::move(spool)](TQStoreError* error) {
        auto pending = MergeState::Pending;
        if (!self->mergeState_.compare_exchange_strong(pending, MergeState::Merging)) {
          return false;  // cancelled while it waited
        }
        self->mergeResult_ =
            TQFullViewMerge::merge(*store, self->epoch_, folderKey, eTag, *spool, error);
        return self->mergeResult_ == TQFullViewMerge::Result::Merged;
      },
      [self](bool /*merged*/, const TQStoreError& error) { self->mergeEnded(error); });
}

void TQFullViewAPIResponseOperation::cancel() {
  TQResponseOperationOf<TQFullViewResult>::cancel();
  auto pending = MergeState::Pending;
  // Before start() the queue finishes a cancelled operation without main(); once main() runs,
  // the operation is ours to finish.
  if (mergeState_.compare_exchange_strong(pending, MergeState::Dropped) && isExecuting()) {
    finishAsynchronousRead();
  }
}

void TQFullViewAPIResponseOperation::mergeEnded(const TQStoreError& error) {
  // A cancelled batch reports nothing, so a dropped merge needs no failure of its own.
  endWith(mergeState_.load() == MergeState::Dropped ? std::nullopt
                                                    : failureOf(mergeResult_, error));
}

void TQFullViewAPIResponseOperation::endWith(std::optional<tq::URLError> failure) {
  if (failure) {
    reportFailure(std::move(*failure));
  }
  finishAsynchronousRead();
}

std::optional<tq::URLError> TQFullViewAPIResponseOperation::failureOf(
    TQFullViewMerge::Result result, const TQStoreError& error) {
  switch (result) {
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
