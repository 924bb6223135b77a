#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadURLs.h"

#include <algorithm>
#include <cctype>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Platform/URL.h"

namespace {

bool isHTTPS(const tq::URL& url) {
  const std::string& scheme = url.scheme();
  return scheme.size() == 5 &&
         std::equal(scheme.begin(), scheme.end(), "https", [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

}  // namespace

std::optional<TQUploadURLs> TQUploadURLs::fromIntentAnswer(const TQAPIQueryResponse& response,
                                                           bool chunked) {
  const auto json = response.jsonResponse();
  const tq::JSON* urls = TQJSONReading::member(json.get(), "uploadurls");
  const auto url = [urls](const char* key) {
    auto text = TQJSONReading::string(TQJSONReading::member(urls, key)).value_or("");
    return tq::URL::URLWithString(text) ? text : std::string();
  };
  TQUploadURLs found{url("uploadurl"), chunked ? url("commiturl") : std::string()};
  if (found.uploadUrl.empty() || (chunked && found.commitUrl.empty())) {
    return std::nullopt;
  }
  return found;
}

bool TQUploadURLs::mayReceiveToken(const std::optional<std::string>& serverBaseURL,
                                   std::string_view url) {
  const auto base = serverBaseURL ? tq::URL::URLWithString(*serverBaseURL) : std::nullopt;
  if (!base || !isHTTPS(*base)) {
    return true;
  }
  const auto target = tq::URL::URLWithString(url);
  return target && isHTTPS(*target);
}

std::optional<tq::URLError> TQUploadURLs::refusalFor(
    const std::optional<std::string>& serverBaseURL) const {
  const bool refused = !mayReceiveToken(serverBaseURL, uploadUrl) ||
                       (!commitUrl.empty() && !mayReceiveToken(serverBaseURL, commitUrl));
  if (!refused) {
    return std::nullopt;
  }
  return tq::URLError(tq::URLError::SecureConnectionFailed,
                      "The upload intent's answer gives a URL that is not https for a server "
                      "reached over https; nothing was sent to it.");
}
