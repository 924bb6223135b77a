// HTTPURLResponse: the status and header fields of a server's answer to a URL-session task.
//
// Header fields keep the order and spelling in which they arrived; look-up ignores case, and a
// repeated field answers its values joined with ", ". expectedContentLength() is the announced
// Content-Length, or -1 when the answer announces none (chunked or close-delimited bodies).
// Immutable once made, so it is shared between threads as std::shared_ptr<const HTTPURLResponse>.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/HeaderFields.h"
#include "QuenlarCloudAPI/Platform/URL.h"

namespace tq {

class HTTPURLResponse {
 public:
  HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headerFields);
  // Shares the request's URL rather than copying it; `url` must not be null.
  HTTPURLResponse(std::shared_ptr<const URL> url, int statusCode, HTTPHeaderFields headerFields);

  const URL& url() const { return *url_; }
  int statusCode() const { return statusCode_; }
  const HTTPHeaderFields& allHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
  int64_t expectedContentLength() const { return expectedContentLength_; }

 private:
  std::shared_ptr<const URL> url_;
  int statusCode_;
  HTTPHeaderFields headers_;
  int64_t expectedContentLength_ = -1;
};

}  // namespace tq
