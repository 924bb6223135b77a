#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"

#include <string>
#include <utility>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQContactAPI::prepareQuery() {
  const auto params = validatedParams<TQContactAPIParams>();
  const std::string url = serverBaseURLText() + "/cloud/1/contacts";

  TQStringDictionary query;
  if (params->sort && !params->sort->empty()) {
    query.set("sort", NSString_HelperMethods::stringByAddingPercentEncoding(*params->sort));
  }
  if (params->page > 0) {
    query.set("page", std::to_string(params->page));
  }
  if (params->count > 0) {
    query.set("count", std::to_string(params->count));
  }
  if (!params->query.empty()) {
    query.set("query", NSString_HelperMethods::stringByAddingPercentEncoding(params->query));
  }

  const std::string queryText = paramterURLString(query);
  setRequestURLString(queryText.empty() ? url : url + "?" + queryText);
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}

TQAPIResponseOperationFactory TQContactAPI::apiResponseOperationClass() const {
  return [] { return std::make_shared<TQContactAPIResponseOperation>(); };
}

void TQContactAPI::cancelAPI() {
  TQAPI::cancelAPI();
  std::shared_ptr<TQAPIOperationQueue> laterPages;
  {
    std::lock_guard lock(laterPagesMutex_);
    laterPages = std::exchange(laterPages_, {}).lock();
  }
  if (laterPages) {
    laterPages->cancelAllOperations();
  }
}

void TQContactAPI::attachLaterPages(const std::shared_ptr<TQAPIOperationQueue>& laterPages) {
  {
    std::lock_guard lock(laterPagesMutex_);
    laterPages_ = laterPages;
  }
  // A cancel that ran before the batch was tied found nothing to cancel; the flag it set is
  // checked after tying, so one of the two always reaches the batch.
  if (isCancelled()) {
    cancelAPI();
  }
}
