// TQAPIQueryResponse: the outcome of one call: the server's answer head, the body bytes, the
// body parsed as JSON, the download file and the session's error. A call fills it on its
// session's delegate queue; the facade hands it to the host on the main queue. Every accessor is
// safe from any thread; values are returned as copies or as shared immutable objects.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

class TQAPIQueryResponse {
 public:
  TQAPIQueryResponse() = default;
  TQAPIQueryResponse(const TQAPIQueryResponse&) = delete;
  TQAPIQueryResponse& operator=(const TQAPIQueryResponse&) = delete;

  // The server's answer head; nullptr after a transport failure or before the answer arrived.
  std::shared_ptr<const tq::HTTPURLResponse> urlResponse() const;
  void setUrlResponse(std::shared_ptr<const tq::HTTPURLResponse> response);

  // The HTTP status of the answer; 0 when there is no answer head.
  int statusCode() const;

  // The download file of a download call, once it was put in place.
  std::optional<tq::URL> downloadedURL() const;
  void setDownloadedURL(std::optional<tq::URL> url);

  // The body parsed as JSON (an object or an array); nullptr when the body was empty or not JSON.
  std::shared_ptr<const tq::JSON> jsonResponse() const;
  void setJsonResponse(std::shared_ptr<const tq::JSON> json);

  // The session's error for the task, or the error of an answer that arrived whole but could not
  // be used (set by the call's response operation in a batch); nullopt otherwise.
  std::optional<tq::URLError> error() const;
  void setError(std::optional<tq::URLError> error);

  // The body bytes as received; nullopt when no byte arrived.
  std::optional<std::string> responseData() const;
  void setResponseData(std::optional<std::string> data);
  // Appends one piece of the body; an empty piece changes nothing.
  void appendResponseData(std::string_view piece);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const tq::HTTPURLResponse> urlResponse_;
  std::optional<tq::URL> downloadedURL_;
  std::shared_ptr<const tq::JSON> jsonResponse_;
  std::optional<tq::URLError> error_;
  std::optional<std::string> responseData_;
};

namespace TQAPIQueryResponse_Helper {

// True exactly when the status is 200, 201 or 412 (wider than any operation's expected status)
// and the outcome holds no error: an answer cut short, refused for its size, or found unusable is
// no success whatever its status said.
bool isSuccess(const TQAPIQueryResponse& response);

// Whether a model may be read from the answer: its status is `expectedStatus` and the transfer
// completed without an error. Both roads ask this before they parse.
bool answeredWith(const TQAPIQueryResponse& response, int expectedStatus);

}  // namespace TQAPIQueryResponse_Helper

namespace NSArray_TQAPIQueryResponse {

// The combined response of a batch: the first outcome that is not a success, else the first
// outcome, nullptr for none. Null entries are passed over.
std::shared_ptr<TQAPIQueryResponse> response(
    const std::vector<std::shared_ptr<TQAPIQueryResponse>>& responses);

}  // namespace NSArray_TQAPIQueryResponse
