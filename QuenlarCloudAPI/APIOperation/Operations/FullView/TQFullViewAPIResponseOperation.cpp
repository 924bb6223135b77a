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
    tq::systemLog("[ERROR] A fullview answer arrived without its body; its folder is not merged.");
    finishAsynchronousRead();
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
        return TQFullViewMerge::merge(*store, self->epoch_, folderKey, eTag, *spool, error);
      },
      [self](bool merged, const TQStoreError& error) { self->mergeEnded(merged, error); });
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

void TQFullViewAPIResponseOperation::mergeEnded(bool merged, const TQStoreError& error) {
  // A logout's doing is no failure: the store was emptied on purpose. Nor is a cancel's.
  if (!merged && mergeState_.load() != MergeState::Dropped &&
      error.code != TQStoreErrorCode::StoreWasReset && error.code != TQStoreErrorCode::Superseded) {
    tq::systemLog("[ERROR] A fullview answer was not merged into the local store: " +
                  error.localizedDescription);
  }
  finishAsynchronousRead();
}
