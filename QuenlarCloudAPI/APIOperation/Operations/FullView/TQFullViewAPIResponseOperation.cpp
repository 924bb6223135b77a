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
  const auto outcome = response();
  if (!outcome || !TQAPIQueryResponse_Helper::answeredWith(*outcome, kExpectedStatus)) {
    return;
  }
  const auto answer = outcome->urlResponse();
  const auto spool = spool_ ? spool_() : nullptr;
  if (!answer || !spool) {
    tq::systemLog("[ERROR] A fullview answer arrived without its body; its folder is not merged.");
    return;
  }
  // The folder's key is the name as the URL carries it, still percent-encoded.
  const auto folderKey = NSURL_Helper::valueForParameter(answer->url(), "virtualfolder");
  const auto eTag = answer->valueForHTTPHeaderField(TQFullViewAPI::kAnswerETagHeader);
  TQStoreError error;
  const bool merged = TQFullViewMerge::merge(*TQPersistentStore::sharedPersistentStore(), epoch_,
                                             folderKey, eTag, *spool, &error);
  // A logout's doing is no failure: the store was emptied on purpose.
  if (!merged && error.code != TQStoreErrorCode::StoreWasReset &&
      error.code != TQStoreErrorCode::Superseded) {
    tq::systemLog("[ERROR] A fullview answer was not merged into the local store: " +
                  error.localizedDescription);
  }
}
