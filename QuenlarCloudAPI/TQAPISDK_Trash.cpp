// The facade's trash operations: listing and emptying the trash, each a fan-out over the virtual
// folders that the root listing names.
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQDeleteTrashAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPI.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

using Items = std::vector<std::shared_ptr<TQMetadata>>;

// Stands in for the folder name while the host's record is checked: the facade fills the name per
// folder, so the host need not set one.
constexpr char kAnyVirtualFolder[] = "-";

// The page the host asked for: `page`, or `start` when no page is given; nullopt for none.
std::optional<int32_t> requestedPage(const TQGetTrashAPIParams& params) {
  if (params.page > 0 && params.start >= 0) {
    return params.page;
  }
  if (params.page == 0 && params.start > 0) {
    return params.start;
  }
  return std::nullopt;
}

// The merged listing as the host receives it: untouched unless a page was asked for, else sorted
// by name and cut to that page (nullopt past the last one).
std::optional<Items> pagedItems(Items items, const TQGetTrashAPIParams& params) {
  const auto page = requestedPage(params);
  if (items.empty() || !page || params.count == 0) {
    return items;
  }
  const auto sorted = TQListHelpers::sortedArrayWithSelector(items, "name", true);
  return TQListHelpers::paginatedArray(sorted.value_or(items), *page, params.count);
}

// The root listing's response when it gave no listing: a failure stays as it is, while a 200 whose
// answer could not be read is no success for the trash either.
std::shared_ptr<TQAPIQueryResponse> failedRootListing(
    const std::shared_ptr<TQAPIQueryResponse>& rootResponse) {
  if (rootResponse && TQAPIQueryResponse_Helper::isSuccess(*rootResponse)) {
    return TQFanOutNotSent(rootResponse);
  }
  return rootResponse;
}

}  // namespace

void TQAPISDK::fetchTrash(const std::shared_ptr<TQGetTrashAPIParams>& params,
                          TQTrashCompletionHandler completionHandler) {
  if (!params) {
    TQAPI::throwNilArgumentException();
  }
  copyAccessToken(params.get());
  // The fan-out works from this copy, taken now: the host's record is read on the host's thread
  // only, and a host that reuses it meanwhile changes nothing under way.
  const auto request = TQCopyParams(*params);
  request->start = params->start;
  // Checked here, where the host can catch what it raises, rather than per folder on the main
  // queue, where it could not.
  const auto probe = TQCopyParams(*request);
  probe->start = request->start;
  probe->virtualfolder = kAnyVirtualFolder;
  probe->validateParameters();

  fetchRootMetadata([self = shared_from_this(), request,
                     completionHandler = std::move(completionHandler)](
                        const std::shared_ptr<TQMetadata>& root,
                        const std::shared_ptr<TQAPIQueryResponse>& rootResponse) {
    if (!completionHandler) {
      return;
    }
    if (!root) {
      completionHandler(std::nullopt, failedRootListing(rootResponse));
      return;
    }
    if (root->subFolders().empty()) {
      completionHandler(std::nullopt, nullptr);
      return;
    }
    const auto calls = self->prepareFanOut<TQGetTrashAPI>(root.get(), "trash listing",
                                                          [&request](const std::string& folder) {
                                                            auto record = TQCopyParams(*request);
                                                            record->virtualfolder = folder;
                                                            record->count = request->count;
                                                            record->start = request->start;
                                                            record->page = request->page;
                                                            return record;
                                                          });
    if (!calls) {
      completionHandler(std::nullopt, TQFanOutNotSent(rootResponse));
      return;
    }
    self->startBatch<TQGetTrashAPI>(
        *calls,
        [request, completionHandler](TQAPIBatchOutcome<std::shared_ptr<TQMetadata>> outcome) {
          if (!outcome.response || !TQAPIQueryResponse_Helper::isSuccess(*outcome.response)) {
            completionHandler(std::nullopt, outcome.response);
            return;
          }
          completionHandler(pagedItems(std::move(outcome.resultArray), *request), outcome.response);
        });
  });
}

void TQAPISDK::deleteTrashWithCompletionHandler(TQAPIResponseHandler completionHandler) {
  // A host that passes no handler still wants the trash emptied; only the report is left out.
  const auto report = [completionHandler = std::move(completionHandler)](
                          const std::shared_ptr<TQAPIQueryResponse>& response) {
    if (completionHandler) {
      completionHandler(response);
    }
  };
  fetchRootMetadata([self = shared_from_this(), report](
                        const std::shared_ptr<TQMetadata>& root,
                        const std::shared_ptr<TQAPIQueryResponse>& rootResponse) {
    if (!root) {
      report(failedRootListing(rootResponse));
      return;
    }
    if (root->subFolders().empty()) {
      report(nullptr);
      return;
    }
    const auto calls = self->prepareFanOut<TQDeleteTrashAPI>(
        root.get(), "emptying the trash", [](const std::string& folder) {
          auto record = std::make_shared<TQDeleteTrashAPIParams>();
          record->virtualfolder = folder;
          return record;
        });
    if (!calls) {
      report(TQFanOutNotSent(rootResponse));
      return;
    }
    self->startBatch<TQDeleteTrashAPI>(
        *calls,
        [report](const TQAPIBatchOutcome<std::monostate>& outcome) { report(outcome.response); });
  });
}
