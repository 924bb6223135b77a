#include "QuenlarCloudAPI/Platform/URLError.h"

#include <curl/curl.h>

#include <utility>

namespace tq {
namespace {

const char* standardDescription(int64_t code) {
  switch (code) {
    case URLError::Cancelled:
      return "The request was cancelled.";
    case URLError::BadURL:
      return "The URL is not valid.";
    case URLError::TimedOut:
      return "The request timed out.";
    case URLError::UnsupportedURL:
      return "The URL's scheme is not supported.";
    case URLError::CannotFindHost:
      return "A server with the specified hostname could not be found.";
    case URLError::CannotConnectToHost:
      return "Could not connect to the server.";
    case URLError::NetworkConnectionLost:
      return "The network connection was lost.";
    case URLError::BadServerResponse:
      return "The server's answer could not be understood.";
    case URLError::ZeroByteResource:
      return "The server answered with no data.";
    case URLError::FileDoesNotExist:
      return "The file to send does not exist.";
    case URLError::FileIsDirectory:
      return "The file to send is a directory.";
    case URLError::NoPermissionsToReadFile:
      return "The file to send could not be read.";
    case URLError::DataLengthExceedsMaximum:
      return "The resource exceeds the maximum size.";
    case URLError::SecureConnectionFailed:
      return "A secure connection to the server could not be made.";
    case URLError::ServerCertificateUntrusted:
      return "The server's certificate is not trusted.";
    case URLError::CannotCreateFile:
      return "The download file could not be created.";
    case URLError::CannotWriteToFile:
      return "The download file could not be written.";
    default:
      return "An unknown error occurred.";
  }
}

int64_t codeForCurlCode(CURLcode code) {
  switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
      return URLError::Cancelled;
    case CURLE_URL_MALFORMAT:
      return URLError::BadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return URLError::UnsupportedURL;
    case CURLE_OPERATION_TIMEDOUT:
      return URLError::TimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return URLError::CannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return URLError::CannotConnectToHost;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_FAIL_REWIND:
      return URLError::NetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_TOO_MANY_REDIRECTS:
    case CURLE_RANGE_ERROR:
      return URLError::BadServerResponse;
    case CURLE_PEER_FAILED_VERIFICATION:
      return URLError::ServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return URLError::SecureConnectionFailed;
    case CURLE_WRITE_ERROR:
      return URLError::CannotWriteToFile;
    case CURLE_FILESIZE_EXCEEDED:
      return URLError::DataLengthExceedsMaximum;
    default:
      return URLError::Unknown;
  }
}

}  // namespace

URLError::URLError(int64_t code) : code_(code), description_(standardDescription(code)) {}

URLError::URLError(int64_t code, std::string localizedDescription)
    : code_(code), description_(std::move(localizedDescription)) {}

URLError URLError::fromCurlCode(int curlCode) {
  const auto code = static_cast<CURLcode>(curlCode);
  const int64_t mapped = codeForCurlCode(code);
  if (mapped != Unknown) {
    return URLError(mapped);
  }
  // The transport's own words are the only useful detail an unknown failure has.
  return URLError(
      Unknown, std::string(standardDescription(Unknown)) + " (" + curl_easy_strerror(code) + ")");
}

const std::string& URLError::domain() const {
  static const std::string domain(kDomain);
  return domain;
}

}  // namespace tq
