// The facade's favorites operations: the listing, a fan-out over the virtual folders, and the
// marking calls.
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kRootListingStatus = 200;

}  // namespace

void TQAPISDK::getFavorites(const std::shared_ptr<TQGetFavoritesAPIParams>& params,
                            TQFavoritesCompletionHandler completionHandler) {
  // The per-folder records are made on the main queue, where nothing may raise, so what can be
  // checked now is checked now, on the host's thread.
  if (!params) {
    TQAPI::throwNilArgumentException();
  }
  copyAccessToken(params.get());
  params->TQResourceAPIParams::validateParameters();
  // The host may reuse its record once this returns; the folders' copies come from this one.
  std::shared_ptr<const TQGetFavoritesAPIParams> request = TQCopyParams(*params);

  fetchRootMetadata([weakFacade = weak_from_this(), request = std::move(request),
                     completionHandler = std::move(completionHandler)](
                        const std::shared_ptr<TQMetadata>& root,
                        const std::shared_ptr<TQAPIQueryResponse>& response) {
    const auto facade = weakFacade.lock();
    if (!facade || !completionHandler) {
      return;
    }
    if (!TQAPIQueryResponse_Helper::answeredWith(*response, kRootListingStatus)) {
      completionHandler(std::nullopt, response);
      return;
    }
    const auto calls = facade->prepareFanOut<TQGetFavoritesAPI>(
        root.get(), "favorites listing", [&request](const std::string& folder) {
          auto folderRequest = TQCopyParams(*request);
          folderRequest->virtualFolder = folder;
          return folderRequest;
        });
    if (!calls) {
      completionHandler(std::nullopt, TQFanOutNotSent(response));
      return;
    }
    facade->startBatch<TQGetFavoritesAPI>(
        *calls, [completionHandler](const TQAPIBatchOutcome<std::shared_ptr<TQMetadata>>& outcome) {
          completionHandler(outcome.resultsIfSuccess(), outcome.response);
        });
  });
}

std::shared_ptr<TQSetFavoritesAPI> TQAPISDK::setFavorites(
    std::shared_ptr<TQSetFavoritesAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQSetFavoritesAPI>(std::move(params), std::move(completionHandler));
}

std::shared_ptr<TQDeleteFavoritesAPI> TQAPISDK::deleteFavorites(
    std::shared_ptr<TQDeleteFavoritesAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeleteFavoritesAPI>(std::move(params), std::move(completionHandler));
}
