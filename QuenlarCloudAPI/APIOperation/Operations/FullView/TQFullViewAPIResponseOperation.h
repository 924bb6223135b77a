// TQFullViewAPIResponseOperation: the response operation of a fullview call in a batch. For a 200
// answer it merges the folder's answer into the local store (TQFullViewMerge); any other answer
// changes nothing. The merge waits for the store's writer on the store's writer queue
// (TQPersistentStore::performWriteAsync), so the operation is asynchronous: a batch of merges
// waiting for a busy store holds no worker of the shared operation pool, and the operation
// finishes, and its completion handler runs, on the writer queue once its merge ended. Its result
// is always nil: a full sync adds nothing to the batch's results. Merge failures are logged, never
// reported.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"

// A full sync gathers no results; the batch's model type says so.
using TQFullViewResult = std::monostate;

class TQFullViewAPIResponseOperation : public TQResponseOperationOf<TQFullViewResult> {
 public:
  // The spool of the call's 200 answer, asked for once the call has completed.
  using SpoolSource = std::function<std::shared_ptr<const TQAnswerSpool>()>;

  // `epoch`: the store epoch to write for (see TQFullViewAPI::setStoreEpoch); nullopt for the
  // store's epoch when this operation is made.
  TQFullViewAPIResponseOperation(SpoolSource spool, std::optional<uint64_t> epoch);

  bool isAsynchronous() const override { return true; }
  void main() override;
  // Cancelled before its merge began, the operation finishes at once and the merge never runs, so
  // a cancelled batch does not wait for a busy store; a merge under way goes on to its end.
  void cancel() override;

 private:
  // Whichever comes first, the merge beginning or a cancel, decides whether the merge runs.
  enum class MergeState { Pending, Merging, Dropped };

  void mergeEnded(bool merged, const TQStoreError& error);

  SpoolSource spool_;
  uint64_t epoch_;
  std::atomic<MergeState> mergeState_{MergeState::Pending};
};
