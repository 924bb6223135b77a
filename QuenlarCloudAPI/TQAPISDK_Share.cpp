// The facade's share operations: the listing, the creation and the deletion.
#include "QuenlarCloudAPI/API/Share_API/TQCreateShareAPI.h"
#include "QuenlarCloudAPI/API/Share_API/TQDeleteShareAPI.h"
#include "QuenlarCloudAPI/API/Share_API/TQGetShareAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQShare.h"
#include "QuenlarCloudAPI/Model/TQShareItem.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kListingStatus = 200;
constexpr int kCreationStatus = 201;

// The record read from the object under `key` of the answer, or from an empty one: the status
// already said the operation succeeded, so the host gets a record with empty fields rather than
// none, and tells "nothing there" from a failure by the status.
template <class Record>
std::shared_ptr<Record> recordOf(const TQAPIQueryResponse& response, std::string_view key) {
  static const tq::JSON kNone;
  const auto json = response.jsonResponse();
  const tq::JSON* member = TQJSONReading::member(json.get(), key);
  return Record::initWithDictionary(member != nullptr ? *member : kNone);
}

}  // namespace

std::shared_ptr<TQGetShareAPI> TQAPISDK::fetchShare(std::shared_ptr<TQGetShareAPIParams> params,
                                                    TQShareCompletionHandler completionHandler) {
  return startSingleCall<TQGetShareAPI>(
      std::move(params), kListingStatus,
      [](const TQAPIQueryResponse& response) { return recordOf<TQShare>(response, "shares"); },
      std::move(completionHandler));
}

std::shared_ptr<TQCreateShareAPI> TQAPISDK::createShare(
    std::shared_ptr<TQCreateShareAPIParams> params,
    TQShareItemCompletionHandler completionHandler) {
  return startSingleCall<TQCreateShareAPI>(
      std::move(params), kCreationStatus,
      [](const TQAPIQueryResponse& response) { return recordOf<TQShareItem>(response, "share"); },
      std::move(completionHandler));
}

std::shared_ptr<TQDeleteShareAPI> TQAPISDK::deleteShare(
    std::shared_ptr<TQDeleteShareAPIParams> params, TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeleteShareAPI>(std::move(params), std::move(completionHandler));
}
