#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"

std::shared_ptr<const tq::HTTPURLResponse> TQAPIQueryResponse::urlResponse() const {
  std::lock_guard lock(mutex_);
  return urlResponse_;
}

void TQAPIQueryResponse::setUrlResponse(std::shared_ptr<const tq::HTTPURLResponse> response) {
  std::lock_guard lock(mutex_);
  urlResponse_ = std::move(response);
}

int TQAPIQueryResponse::statusCode() const {
  std::lock_guard lock(mutex_);
  return urlResponse_ ? urlResponse_->statusCode() : 0;
}

std::optional<tq::URL> TQAPIQueryResponse::downloadedURL() const {
  std::lock_guard lock(mutex_);
  return downloadedURL_;
}

void TQAPIQueryResponse::setDownloadedURL(std::optional<tq::URL> url) {
  std::lock_guard lock(mutex_);
  downloadedURL_ = std::move(url);
}

std::shared_ptr<const tq::JSON> TQAPIQueryResponse::jsonResponse() const {
  std::lock_guard lock(mutex_);
  return jsonResponse_;
}

void TQAPIQueryResponse::setJsonResponse(std::shared_ptr<const tq::JSON> json) {
  std::lock_guard lock(mutex_);
  jsonResponse_ = std::move(json);
}

std::optional<tq::URLError> TQAPIQueryResponse::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

void TQAPIQueryResponse::setError(std::optional<tq::URLError> error) {
  std::lock_guard lock(mutex_);
  error_ = std::move(error);
}

std::optional<std::string> TQAPIQueryResponse::responseData() const {
  std::lock_guard lock(mutex_);
  return responseData_;
}

void TQAPIQueryResponse::setResponseData(std::optional<std::string> data) {
  std::lock_guard lock(mutex_);
  responseData_ = std::move(data);
}

void TQAPIQueryResponse::appendResponseData(std::string_view piece) {
  if (piece.empty()) {
    return;
  }
  std::lock_guard lock(mutex_);
  if (!responseData_) {
    responseData_.emplace();
  }
  responseData_->append(piece);
}

namespace TQAPIQueryResponse_Helper {

bool isSuccess(const TQAPIQueryResponse& response) {
  const int status = response.statusCode();
  return (status == 200 || status == 201 || status == 412) && !response.error();
}

bool answeredWith(const TQAPIQueryResponse& response, int expectedStatus) {
  return response.statusCode() == expectedStatus && !response.error();
}

}  // namespace TQAPIQueryResponse_Helper

namespace NSArray_TQAPIQueryResponse {

std::shared_ptr<TQAPIQueryResponse> response(
    const std::vector<std::shared_ptr<TQAPIQueryResponse>>& responses) {
  std::shared_ptr<TQAPIQueryResponse> first;
  for (const auto& candidate : responses) {
    if (!candidate) {
      continue;
    }
    if (!TQAPIQueryResponse_Helper::isSuccess(*candidate)) {
      return candidate;
    }
    if (!first) {
      first = candidate;
    }
  }
  return first;
}

}  // namespace NSArray_TQAPIQueryResponse
