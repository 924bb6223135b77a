// The facade's full sync: the root listing, then one batch of fullview calls, one per virtual
// folder, whose response operations merge the answers into the local store. A merge that fails
// fails its call, so the combined response the host receives is then no success.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAPI.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kRootListingStatus = 200;

// The ETag stored for a folder, looked up by its plain name. Merges store it under the name as
// the answer's URL carries it, percent-encoded, so a folder whose name the encoding changes is
// always fetched whole. Of several rows, the one merges write (the oldest).
std::optional<std::string> storedETag(const std::shared_ptr<TQManagedObjectContext>& context,
                                      const std::string& folder) {
  const auto rows = TQETag::findResource(
      tq::Predicate::comparison("eTagID", tq::ComparisonOperator::Equal, folder), false, context,
      nullptr);
  return rows.empty() ? std::nullopt : rows.front()->eTag();
}

}  // namespace

void TQAPISDK::doFullSyncWithCompletionHandler(TQAPIResponseHandler completionHandler) {
  // Read now: merges of this sync write nothing once a logout has come after this point.
  const uint64_t epoch = TQPersistentStore::sharedPersistentStore()->currentEpoch();
  fetchRootMetadata([this, epoch, completionHandler = std::move(completionHandler)](
                        const std::shared_ptr<TQMetadata>& root,
                        const std::shared_ptr<TQAPIQueryResponse>& response) {
    const auto finish = [&completionHandler](const std::shared_ptr<TQAPIQueryResponse>& outcome) {
      if (completionHandler) {
        completionHandler(outcome);
      }
    };
    if (!TQAPIQueryResponse_Helper::answeredWith(*response, kRootListingStatus)) {
      finish(response);
      return;
    }
    const auto context =
        TQPersistentStore::sharedPersistentStore()->backgroundManagedObjectContext();
    // Only a logout since the sync began takes the access token away; nothing is sent then.
    const auto calls = prepareFanOut<TQFullViewAPI>(
        root.get(), "full sync", [&context](const std::string& folder) {
          auto params = std::make_shared<TQFullViewAPIParams>();
          params->virtualFolder = folder;
          params->eTag = storedETag(context, folder).value_or("");
          return params;
        });
    if (!calls) {
      finish(nullptr);
      return;
    }
    for (const auto& call : *calls) {
      call->setStoreEpoch(epoch);
    }
    // A root without virtual folders makes a batch without calls, which completes at once.
    startBatch<TQFullViewAPI>(
        *calls, [completionHandler](const TQAPIBatchOutcome<TQFullViewResult>& outcome) {
          if (completionHandler) {
            completionHandler(outcome.response);
          }
        });
  });
}
