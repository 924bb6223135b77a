#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQUploadAPI::prepareQuery() {
  const auto params = validatedParams<TQUploadAPIParams>();
  const std::string url =
      params->chunk
          ? urlByAppendingParameter(params->uploadUrl, "offset", std::to_string(params->offset))
          : urlByAppendingParameter(params->uploadUrl, "checksum",
                                    NSString_HelperMethods::rawQueryValueEncoded(params->checkSum));
  setRequestMethod("POST");
  setRequestURLString(url);
  setRequestHeaders({{"Authorization", "Bearer " + params->accessToken},
                     {"Content-Type", "application/octet-stream"}});
}

std::string TQUploadAPI::urlByAppendingParameter(std::string_view serverURL, std::string_view name,
                                                 std::string_view value) {
  const size_t hash = serverURL.find('#');
  const std::string_view beforeFragment = serverURL.substr(0, hash);
  const std::string_view fragment =
      hash == std::string_view::npos ? std::string_view() : serverURL.substr(hash);
  std::string url(beforeFragment);
  if (beforeFragment.find('?') == std::string_view::npos) {
    url += '?';
  } else if (!url.ends_with('?') && !url.ends_with('&')) {
    url += '&';
  }
  url += name;
  url += '=';
  url += value;
  url += fragment;
  return url;
}
