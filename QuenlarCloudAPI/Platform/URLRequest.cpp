#include "QuenlarCloudAPI/Platform/URLRequest.h"

#include <algorithm>

namespace tq {

const std::optional<URL>& URLRequest::url() const {
  static const std::optional<URL> kNone;
  return url_ ? *url_ : kNone;
}

void URLRequest::setURL(std::optional<URL> url) {
  url_ = url ? std::make_shared<const std::optional<URL>>(std::move(url)) : nullptr;
}

std::shared_ptr<const URL> URLRequest::sharedURL() const {
  if (!url_) {
    return nullptr;
  }
  return {url_, &**url_};
}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
  return headerValue(headers_, field);
}

void URLRequest::setValue(std::optional<std::string> value, std::string_view field) {
  auto first = std::find_if(headers_.begin(), headers_.end(), [field](const auto& entry) {
    return headerNameEquals(entry.first, field);
  });
  if (first == headers_.end()) {
    if (value) {
      headers_.emplace_back(std::string(field), std::move(*value));
    }
    return;
  }
  // The field keeps its place; any other entries of the same name go.
  const auto position = first - headers_.begin();
  headers_.erase(
      std::remove_if(first + 1, headers_.end(),
                     [field](const auto& entry) { return headerNameEquals(entry.first, field); }),
      headers_.end());
  if (value) {
    headers_[static_cast<size_t>(position)].second = std::move(*value);
  } else {
    headers_.erase(headers_.begin() + position);
  }
}

void URLRequest::addValue(std::string value, std::string_view field) {
  auto existing = std::find_if(headers_.begin(), headers_.end(), [field](const auto& entry) {
    return headerNameEquals(entry.first, field);
  });
  if (existing == headers_.end()) {
    headers_.emplace_back(std::string(field), std::move(value));
  } else {
    existing->second += ", ";
    existing->second += value;
  }
}

}  // namespace tq
