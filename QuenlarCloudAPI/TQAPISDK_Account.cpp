// The facade's account operations: account information and the LCID lookup.
#include "QuenlarCloudAPI/API/AccountInfo_API/TQAccountInfoAPI.h"
#include "QuenlarCloudAPI/API/LCID_API/TQLCIDAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kExpectedStatus = 200;

}  // namespace

std::shared_ptr<TQLCIDAPI> TQAPISDK::fetchLCID(std::shared_ptr<TQLCIDAPIParams> params,
                                               TQLCIDCompletionHandler completionHandler) {
  return startSingleCall<TQLCIDAPI>(
      std::move(params), kExpectedStatus,
      [](const TQAPIQueryResponse& response) -> std::optional<tq::JSON> {
        const auto json = response.jsonResponse();
        if (const tq::JSON* lcid = TQJSONReading::member(json.get(), "lcid")) {
          return *lcid;
        }
        return std::nullopt;
      },
      std::move(completionHandler));
}

std::shared_ptr<TQAccountInfoAPI> TQAPISDK::fetchAccountInfoWithCompletionHandler(
    TQAccountInfoCompletionHandler completionHandler) {
  return startSingleCall<TQAccountInfoAPI>(
      std::make_shared<TQAccountInfoAPIParams>(), kExpectedStatus,
      [](const TQAPIQueryResponse& response) {
        const auto json = response.jsonResponse();
        return TQAccountInfo::initWithDict(json ? *json : tq::JSON());
      },
      std::move(completionHandler));
}
