// TQFullViewAPIResponseOperation: the response operation of a fullview call in a batch. For a 200
// answer it merges the folder's answer into the local store (TQFullViewMerge), on the thread of
// the batch queue that runs it; any other answer changes nothing. Its result is always nil: a
// full sync adds nothing to the batch's results. A 200 answer that is not merged (its body no
// JSON object or not kept, the store missing, busy or failing, a logout since the sync began)
// leaves the call failed (reportFailure()), so the full sync's combined response is no success:
// BadServerResponse for the body, CannotWriteToFile for the temporary file or the store, and
// Cancelled for a logout, all of the "NSURLErrorDomain".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/APIOperation/Operations/TQAPIResponseOperation.h"
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

  void main() override;

 private:
  // The error the call reports when the 200 answer in `outcome` was not merged.
  std::optional<tq::URLError> merge(const TQAPIQueryResponse& outcome) const;
  // Logs `error`'s description (it names no stored value) and answers it.
  static tq::URLError notMerged(tq::URLError error);

  SpoolSource spool_;
  uint64_t epoch_;
};
