// The facade's metadata listing and the root listing the virtual-folder fan-outs start from.
#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kExpectedStatus = 200;

// The listing of a 200 answer. A "folder" member that is missing or not an object reads as absent,
// which gives a listing with no fields and no children rather than no listing: the status said
// the listing succeeded, and a host tells "nothing there" from a failure by the status.
std::shared_ptr<TQMetadata> listingOf(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  if (!json) {
    return nullptr;
  }
  const tq::JSON* folder = TQJSONReading::member(json.get(), "folder");
  return TQMetadata::initWithDict(folder != nullptr && folder->is_object() ? *folder : tq::JSON());
}

}  // namespace

std::shared_ptr<TQMetaDataAPI> TQAPISDK::fetchMetadata(
    std::shared_ptr<TQMetaDataAPIParams> params, TQMetadataCompletionHandler completionHandler) {
  return startSingleCall<TQMetaDataAPI>(std::move(params), kExpectedStatus, listingOf,
                                        std::move(completionHandler));
}

std::shared_ptr<TQMetaDataAPI> TQAPISDK::fetchRootMetadata(
    TQMetadataCompletionHandler completionHandler) {
  return fetchMetadata(std::make_shared<TQMetaDataAPIParams>(), std::move(completionHandler));
}
