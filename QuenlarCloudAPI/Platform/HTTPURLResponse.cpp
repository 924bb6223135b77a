#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"

#include <charconv>
#include <system_error>
#include <utility>

namespace tq {
namespace {

// The announced body length: a single well-formed Content-Length, and no chunked coding (which
// overrides it).
int64_t announcedLength(const HTTPHeaderFields& headers) {
  if (headerValue(headers, "Transfer-Encoding")) {
    return -1;
  }
  const auto text = headerValue(headers, "Content-Length");
  if (!text || text->empty()) {
    return -1;
  }
  int64_t length = -1;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, length);
  if (error != std::errc() || stop != end || length < 0) {
    return -1;
  }
  return length;
}

}  // namespace

HTTPURLResponse::HTTPURLResponse(URL url, int statusCode, HTTPHeaderFields headerFields)
    : HTTPURLResponse(std::make_shared<const URL>(std::move(url)), statusCode,
                      std::move(headerFields)) {}

HTTPURLResponse::HTTPURLResponse(std::shared_ptr<const URL> url, int statusCode,
                                 HTTPHeaderFields headerFields)
    : url_(std::move(url)),
      statusCode_(statusCode),
      headers_(std::move(headerFields)),
      expectedContentLength_(announcedLength(headers_)) {}

std::optional<std::string> HTTPURLResponse::valueForHTTPHeaderField(std::string_view field) const {
  return headerValue(headers_, field);
}

}  // namespace tq
