#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

constexpr int kSpooledStatus = 200;

}  // namespace

void TQFullViewAPI::prepareQuery() {
  const auto params = validatedParams<TQFullViewAPIParams>();
  TQStringDictionary query;
  query.set("virtualfolder",
            NSString_HelperMethods::stringByAddingPercentEncoding(params->virtualFolder));
  setRequestURLString(serverBaseURLText() + "/cloud/1/fullview?" + paramterURLString(query));
  TQStringDictionary headers;
  if (!params->eTag.empty()) {
    headers.set(kRequestETagHeader, params->eTag);
  }
  for (const auto& [name, value] : bearerJSONHeaders(params->accessToken)) {
    headers.set(name, value);
  }
  setRequestHeaders(std::move(headers));
}

TQAPIResponseOperationFactory TQFullViewAPI::apiResponseOperationClass() const {
  return [call = std::static_pointer_cast<const TQFullViewAPI>(shared_from_this())] {
    return call->makeResponseOperation();
  };
}

std::shared_ptr<TQFullViewAPIResponseOperation> TQFullViewAPI::makeResponseOperation() const {
  const auto self = std::static_pointer_cast<const TQFullViewAPI>(shared_from_this());
  return std::make_shared<TQFullViewAPIResponseOperation>(
      [weak = std::weak_ptr<const TQFullViewAPI>(self)] {
        const auto call = weak.lock();
        return call ? call->answerSpool() : nullptr;
      },
      storeEpoch());
}

void TQFullViewAPI::setStoreEpoch(uint64_t epoch) {
  std::lock_guard lock(stateMutex_);
  storeEpoch_ = epoch;
}

std::optional<uint64_t> TQFullViewAPI::storeEpoch() const {
  std::lock_guard lock(stateMutex_);
  return storeEpoch_;
}

std::shared_ptr<const TQAnswerSpool> TQFullViewAPI::answerSpool() const {
  std::lock_guard lock(stateMutex_);
  return spool_;
}

void TQFullViewAPI::didReceiveResponseData(TQAPIQueryResponse& response, const std::string& piece) {
  if (response.statusCode() != kSpooledStatus) {
    TQAPI::didReceiveResponseData(response, piece);
    return;
  }
  std::shared_ptr<TQAnswerSpool> spool;
  {
    std::lock_guard lock(stateMutex_);
    if (!spool_ && !spoolUnavailable_) {
      spool_ = TQAnswerSpool::make();
      if (!spool_) {
        spoolUnavailable_ = true;
        tq::systemLog(
            "[ERROR] No temporary file could hold a fullview answer; its folder is not merged.");
      }
    }
    spool = spool_;
  }
  if (spool) {
    spool->append(piece);
  }
}
