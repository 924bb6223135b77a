// URLRequest: what a URL-session task sends: URL, HTTP method, ordered header fields and body.
//
// Header fields go on the wire in the order they were first set or added. addValue() joins a
// repeated field's values with ", " into one field; setValue() replaces the field (nullopt
// removes it). Names compare without regard to case. A request without a URL is allowed; a task
// made from it fails with URLError::BadURL.
//
// A plain value: copyable; not synchronised (tasks keep their own copy). Copies share the URL,
// which never changes in place, so copying a request and answering it do not copy the URL.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/HeaderFields.h"
#include "QuenlarCloudAPI/Platform/URL.h"

namespace tq {

class URLRequest {
 public:
  URLRequest() = default;
  explicit URLRequest(std::optional<URL> url) { setURL(std::move(url)); }

  const std::optional<URL>& url() const;
  void setURL(std::optional<URL> url);
  // The URL as an object shared with every copy of this request; nullptr when there is none.
  std::shared_ptr<const URL> sharedURL() const;

  // "GET" unless set.
  const std::string& HTTPMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }

  const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
  void setValue(std::optional<std::string> value, std::string_view field);
  void addValue(std::string value, std::string_view field);

  // The bytes to send; nullopt when the request has no body.
  const std::optional<std::string>& HTTPBody() const { return body_; }
  void setHTTPBody(std::optional<std::string> body) { body_ = std::move(body); }

 private:
  // nullptr for a request without a URL.
  std::shared_ptr<const std::optional<URL>> url_;
  std::string method_ = "GET";
  HTTPHeaderFields headers_;
  std::optional<std::string> body_;
};

}  // namespace tq
