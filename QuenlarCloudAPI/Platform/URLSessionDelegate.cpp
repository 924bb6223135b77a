#include "QuenlarCloudAPI/Platform/URLSessionDelegate.h"

namespace tq {

void URLSessionDelegate::didReceiveResponse(
    URLSession& /*session*/, const std::shared_ptr<URLSessionDataTask>& /*dataTask*/,
    const std::shared_ptr<const HTTPURLResponse>& /*response*/,
    // By value in the signature so that an override may keep the handler and answer later.
    std::function<void(URLSessionResponseDisposition)>
        completionHandler) {  // NOLINT(performance-unnecessary-value-param)
  if (completionHandler) {
    completionHandler(URLSessionResponseDisposition::Allow);
  }
}

}  // namespace tq
