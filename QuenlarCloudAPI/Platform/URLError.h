// URLError: why a URL-session task failed, as an error of the "NSURLErrorDomain" with the
// platform's codes, so that callers compare codes the way the service's clients always have.
//
// A plain value: copyable, immutable once made, safe to read from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace tq {

class URLError {
 public:
  enum Code : int64_t {
    Unknown = -1,
    Cancelled = -999,
    BadURL = -1000,
    TimedOut = -1001,
    UnsupportedURL = -1002,
    CannotFindHost = -1003,
    CannotConnectToHost = -1004,
    NetworkConnectionLost = -1005,
    BadServerResponse = -1011,
    ZeroByteResource = -1014,
    FileDoesNotExist = -1100,
    FileIsDirectory = -1101,
    NoPermissionsToReadFile = -1102,
    DataLengthExceedsMaximum = -1103,
    SecureConnectionFailed = -1200,
    ServerCertificateUntrusted = -1202,
    CannotCreateFile = -3000,
    CannotWriteToFile = -3003,
  };

  static constexpr const char* kDomain = "NSURLErrorDomain";

  // An error with the standard description of `code`.
  explicit URLError(int64_t code);
  URLError(int64_t code, std::string localizedDescription);

  // The error for a libcurl result code (a CURLcode); CURLE_OK has no error and maps to Unknown.
  static URLError fromCurlCode(int curlCode);

  const std::string& domain() const;
  int64_t code() const { return code_; }
  const std::string& localizedDescription() const { return description_; }

  bool operator==(const URLError& other) const { return code_ == other.code_; }

 private:
  int64_t code_;
  std::string description_;
};

}  // namespace tq
