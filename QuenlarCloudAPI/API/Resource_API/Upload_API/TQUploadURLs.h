// TQUploadURLs: the URLs an upload intent answers, which receive the bearer token with the bytes
// ("uploadurl") and, for a chunked upload, with the commit ("commiturl"). Every byte upload and
// commit takes its URL from here, so the URLs are read and checked here once, before anything is
// sent to them: a server reached over https never has the token sent over plain http on its
// word. Another host is accepted, since the service may take uploads on hosts of its own.
//
// A plain value; its functions are safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/URLError.h"

class TQAPIQueryResponse;

class TQUploadURLs {
 public:
  // As the intent answered it, byte for byte.
  std::string uploadUrl;
  // Empty for a whole-file upload.
  std::string commitUrl;

  // The URLs of an intent's answer ("uploadurls" with "uploadurl", and "commiturl" when
  // `chunked`), each a text that makes a URL; nullopt when one the road needs is missing.
  static std::optional<TQUploadURLs> fromIntentAnswer(const TQAPIQueryResponse& response,
                                                      bool chunked);

  // Whether `url` may receive the token of the server at `serverBaseURL`: not when the base is
  // https and `url` is anything else, or makes no URL. Schemes compare without regard to case.
  // A base that is missing or makes no URL sets no limit here (no call could reach it).
  static bool mayReceiveToken(const std::optional<std::string>& serverBaseURL,
                              std::string_view url);

  // The error that ends the upload when either URL may not receive the token; nullopt when both
  // may.
  std::optional<tq::URLError> refusalFor(const std::optional<std::string>& serverBaseURL) const;
};
