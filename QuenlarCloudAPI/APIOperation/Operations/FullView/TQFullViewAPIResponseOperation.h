// TQFullViewAPIResponseOperation: the response operation of a fullview call in a batch. For a 200
// answer it merges the folder's answer into the local store (TQFullViewMerge); any other answer
// changes nothing. The merge waits for the store's writer on the store's writer queue
// (TQPersistentStore::performWriteAsync), so the operation is asynchronous: a batch of merges
// waiting for a busy store holds no worker of the shared operation pool, and the operation
// finishes, and its completion handler runs, on the writer queue once its merge ended. Its result
// is always nil: a full sync adds nothing to the batch's results. A 200 answer that is not merged
// (its body no JSON object or not kept, the store missing, busy or failing, a logout since the
// sync began) leaves the call failed (reportFailure()), so the full sync's combined response is
// no success: BadServerResponse for the body, CannotWriteToFile for the temporary file or the
// store, and Cancelled for a logout, all of the "NSURLErrorDomain".
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewMerge.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

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

  // Writer queue: reports the merge's failure, if any, and finishes the operation.
  void mergeEnded(const TQStoreError& error);
  void endWith(std::optional<tq::URLError> failure);
  // The error the call reports for a merge that ended as `result` with `error`; nullopt once
  // merged.
  static std::optional<tq::URLError> failureOf(TQFullViewMerge::Result result,
                                               const TQStoreError& error);
  // Logs `error`'s description (it names no stored value) and answers it.
  static tq::URLError notMerged(tq::URLError error);

  SpoolSource spool_;
  uint64_t epoch_;
  std::atomic<MergeState> mergeState_{MergeState::Pending};
  // Written and read on the writer queue only.
  TQFullViewMerge::Result mergeResult_ = TQFullViewMerge::Result::NotStored;
};
