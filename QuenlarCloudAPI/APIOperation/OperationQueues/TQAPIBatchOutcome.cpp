#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIBatchOutcome.h"

#include <string>
#include <utility>

#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

void TQAPIBatchReportResultOfWrongType(const std::type_info& expected,
                                       const std::type_info& found) {
  tq::systemLog(std::string("[ERROR] a batch result of type ") + found.name() +
                " was left out where " + expected.name() + " was expected");
}

std::shared_ptr<TQAPIOperationQueue> TQAPIBatchStart(
    const std::vector<std::shared_ptr<TQAPI>>& calls, TQAPIBatchGatheredHandler onGathered) {
  auto batch = TQAPIOperationQueue::create();
  // The batch keeps its completion handler, so the handler holds the batch weakly; while it runs,
  // the gathering that calls it holds the batch.
  batch->setCompletionHandler(
      [weakBatch = std::weak_ptr<TQAPIOperationQueue>(batch), onGathered = std::move(onGathered)](
          std::vector<std::any> results,
          std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) {
        const auto batch = weakBatch.lock();
        if (!batch || !onGathered) {
          return;
        }
        auto deliver = onGathered(std::move(results), std::move(responses));
        tq::mainQueue().async([batch, deliver = std::move(deliver)] {
          // A cancel that came after the batch completed but before this block ran still wins.
          if (!batch->isCancelled() && deliver) {
            deliver();
          }
        });
      });
  batch->addAPIs(calls);
  return batch;
}
