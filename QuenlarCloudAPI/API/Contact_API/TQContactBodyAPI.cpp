#include "QuenlarCloudAPI/API/Contact_API/TQContactBodyAPI.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"

tq::JSON TQContactBodyAPI::requestDict() const {
  std::lock_guard lock(requestDictMutex_);
  return requestDict_;
}

void TQContactBodyAPI::prepareBodyRequest(const TQCreateContactAPIParams& params,
                                          std::string method, std::string url) {
  tq::JSON body = params.contactBody();
  std::string text = body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
  {
    std::lock_guard lock(requestDictMutex_);
    requestDict_ = std::move(body);
  }
  setRequestMethod(std::move(method));
  setRequestURLString(std::move(url));
  TQStringDictionary headers = bearerJSONHeaders(params.accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
  setRequestBody(std::move(text));
}
