#include "QuenlarCloudAPI/Platform/CurlHandle.h"

#include <mutex>

namespace tq::detail {

void curlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace tq::detail
