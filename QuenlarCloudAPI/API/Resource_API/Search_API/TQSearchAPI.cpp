#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQSearchAPI::prepareQuery() {
  const auto params = validatedParams<TQSearchAPIParams>();
  TQStringDictionary query;
  // The URL-query encoding leaves "&" and "+" as they are; in a query they would end the value or
  // arrive as a blank (a "+0100" offset of a date), so they are escaped as well.
  std::string encodedQuery;
  for (const char c :
       NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(params->query)) {
    if (c == '&') {
      encodedQuery += "%26";
    } else if (c == '+') {
      encodedQuery += "%2B";
    } else {
      encodedQuery += c;
    }
  }
  query.set("query", std::move(encodedQuery));
  if (!params->sort.empty()) {
    query.set("sort", NSString_HelperMethods::rawQueryValueEncoded(params->sort));
  }
  if (params->page > 0) {
    query.set("page", std::to_string(params->page));
  }
  if (params->count > 0) {
    query.set("count", std::to_string(params->count));
  }
  setRequestURLString(serverBaseURLText() + "/cloud/1/search?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
