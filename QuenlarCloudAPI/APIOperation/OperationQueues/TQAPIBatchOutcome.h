// TQAPIBatchOutcome: what a batch hands to the facade operation that ran it, on the main queue:
// the gathered results as the operation's own model type, every outcome, and the combined
// response. TQAPIBatchStart() is the core of the facade's batch road (TQAPISDK::startBatch).
//
// Results are read as `Result` (std::any_cast); a result of another type is a mismatch between a
// response operation and the operation that runs it, and is left out with a line in the system
// log rather than thrown out of a queue. Use Result = std::any to take the results as they came.
// A plain value; copy it freely.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <optional>
#include <typeinfo>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"

class TQAPI;
class TQAPIOperationQueue;

// Writes the system-log line for a result that is not of the expected type.
void TQAPIBatchReportResultOfWrongType(const std::type_info& expected, const std::type_info& found);

// Runs on a thread of the batch with what it gathered; answers the block to run on the main
// queue.
using TQAPIBatchGatheredHandler = std::function<std::function<void()>(
    std::vector<std::any> resultArray,
    std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray)>;

// Makes a batch of the prepared `calls` (each goes on the list of live calls and starts at once),
// seals it, and when every call has been gathered runs `onGathered` on a thread of the batch and
// what it answers on the main queue, unless the batch was cancelled first, also after the block
// was queued. A batch without calls completes the same way at once, with empty arrays. Answers
// the batch, which the caller may keep in order to cancel it.
std::shared_ptr<TQAPIOperationQueue> TQAPIBatchStart(
    const std::vector<std::shared_ptr<TQAPI>>& calls, TQAPIBatchGatheredHandler onGathered);

template <class Result>
struct TQAPIBatchOutcome {
  // The results in the order the calls finished.
  std::vector<Result> resultArray;
  // One outcome per call, in the order the calls finished.
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responseArray;
  // The combined response of responseArray: the first that is not a success, else the first;
  // nullptr for a batch without calls.
  std::shared_ptr<TQAPIQueryResponse> response;

  // resultArray when the combined response is a success (200, 201 or 412), else nullopt (nil):
  // what most batch operations hand the host. A batch without calls gives nullopt.
  std::optional<std::vector<Result>> resultsIfSuccess() const {
    if (response && TQAPIQueryResponse_Helper::isSuccess(*response)) {
      return resultArray;
    }
    return std::nullopt;
  }

  static TQAPIBatchOutcome make(std::vector<std::any> results,
                                std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) {
    TQAPIBatchOutcome outcome{{}, std::move(responses), nullptr};
    outcome.response = NSArray_TQAPIQueryResponse::response(outcome.responseArray);
    outcome.resultArray.reserve(results.size());
    for (auto& result : results) {
      if constexpr (std::is_same_v<Result, std::any>) {
        outcome.resultArray.push_back(std::move(result));
      } else if (auto* typed = std::any_cast<Result>(&result)) {
        outcome.resultArray.push_back(std::move(*typed));
      } else {
        TQAPIBatchReportResultOfWrongType(typeid(Result), result.type());
      }
    }
    return outcome;
  }
};

// Receives a batch's outcome once, on the main queue.
template <class Result>
using TQAPIBatchCompletionHandler = std::function<void(TQAPIBatchOutcome<Result> outcome)>;
