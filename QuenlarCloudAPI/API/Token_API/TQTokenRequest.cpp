#include "QuenlarCloudAPI/API/Token_API/TQTokenRequest.h"

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace TQTokenRequest {

std::string encodedQueryValue(std::string_view value) {
  const std::string encoded = NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(value);
  std::string out;
  out.reserve(encoded.size());
  for (const char c : encoded) {
    switch (c) {
      case '&':
        out += "%26";
        break;
      case '=':
        out += "%3D";
        break;
      case '+':
        out += "%2B";
        break;
      case '#':
        out += "%23";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void prepare(TQAPI& call, const std::string& url, const TQStringDictionary& pairs) {
  TQStringDictionary encoded;
  for (const auto& [key, value] : pairs) {
    encoded.set(key, encodedQueryValue(value));
  }
  call.setRequestMethod("POST");
  const std::string query = TQAPI::paramterURLString(encoded);
  call.setRequestURLString(query.empty() ? url : url + "?" + query);
  call.setRequestHeaders({{"Content-Type", "application/x-www-form-urlencoded"}});
}

}  // namespace TQTokenRequest
