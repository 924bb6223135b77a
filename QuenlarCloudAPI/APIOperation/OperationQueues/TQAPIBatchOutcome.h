// TQAPIBatchOutcome: what a batch hands to the facade operation that ran it, on the main queue:
// the gathered results as the operation's own model type, every outcome, and the combined
// response. A plain value; copy it freely.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"

// The model type a batch of `Call`s gathers: that of the call class's response operation.
template <class Call>
using TQBatchModelOf = typename Call::ResponseOperation::ModelType;

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

  static TQAPIBatchOutcome make(std::vector<Result> results,
                                std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) {
    TQAPIBatchOutcome outcome{std::move(results), std::move(responses), nullptr};
    outcome.response = NSArray_TQAPIQueryResponse::response(outcome.responseArray);
    return outcome;
  }
};

// Receives a batch's outcome once, on the main queue.
template <class Result>
using TQAPIBatchCompletionHandler = std::function<void(TQAPIBatchOutcome<Result> outcome)>;
