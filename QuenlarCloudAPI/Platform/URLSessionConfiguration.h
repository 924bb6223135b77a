// URLSessionConfiguration: how a URL session behaves: default or background, and how many
// connections it opens to one host at a time.
//
// A background configuration carries the identifier that names its session; here both kinds run
// in the process on the same engine, and "background" only adds the identifier and the
// didFinishEventsForBackgroundURLSession event. A plain value; a session keeps its own copy.
#pragma once

#include <optional>
#include <string>

namespace tq {

class URLSessionConfiguration {
 public:
  static URLSessionConfiguration defaultSessionConfiguration() { return URLSessionConfiguration(); }
  static URLSessionConfiguration backgroundSessionConfigurationWithIdentifier(
      std::string identifier) {
    URLSessionConfiguration configuration;
    configuration.identifier_ = std::move(identifier);
    return configuration;
  }

  // nullopt for a default configuration.
  const std::optional<std::string>& identifier() const { return identifier_; }

  // Connections to one host open at the same moment; further tasks wait for a free one.
  int HTTPMaximumConnectionsPerHost() const { return maximumConnectionsPerHost_; }
  // Values below 1 count as 1.
  void setHTTPMaximumConnectionsPerHost(int count) {
    maximumConnectionsPerHost_ = count < 1 ? 1 : count;
  }

 private:
  URLSessionConfiguration() = default;

  std::optional<std::string> identifier_;
  int maximumConnectionsPerHost_ = 6;
};

}  // namespace tq
