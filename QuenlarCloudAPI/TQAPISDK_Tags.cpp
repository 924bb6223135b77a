// The facade's tags operations: reading, setting and removing one resource's tags.
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPI.h"
#include "QuenlarCloudAPI/Model/TQTags.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

constexpr int kExpectedStatus = 200;

// A 200 answer always gives a record, even one that is not JSON: the status said the tags were
// read or set, and a host tells "no tags" from a failure by the status.
std::shared_ptr<TQTags> tagsOf(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  return TQTags::initWithDictionary(json ? *json : tq::JSON());
}

}  // namespace

std::shared_ptr<TQGetTagsAPI> TQAPISDK::getTags(std::shared_ptr<TQGetTagsAPIParams> params,
                                                TQTagsCompletionHandler completionHandler) {
  return startSingleCall<TQGetTagsAPI>(std::move(params), kExpectedStatus, tagsOf,
                                       std::move(completionHandler));
}

std::shared_ptr<TQSetTagsAPI> TQAPISDK::setTags(std::shared_ptr<TQSetTagsAPIParams> params,
                                                TQTagsCompletionHandler completionHandler) {
  return startSingleCall<TQSetTagsAPI>(std::move(params), kExpectedStatus, tagsOf,
                                       std::move(completionHandler));
}

std::shared_ptr<TQDeleteTagsAPI> TQAPISDK::deleteTags(std::shared_ptr<TQDeleteTagsAPIParams> params,
                                                      TQAPIResponseHandler completionHandler) {
  return startSingleCall<TQDeleteTagsAPI>(std::move(params), std::move(completionHandler));
}
