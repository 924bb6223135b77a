#include "QuenlarCloudAPI/API/Share_API/TQGetShareAPI.h"

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace {

// A query decoder reads "+" as a blank and would split a pair at a further "=".
std::string queryValue(std::string_view value) {
  return NSString_HelperMethods::rawQueryValueEncoded(value, "+=");
}

}  // namespace

void TQGetShareAPI::prepareQuery() {
  const auto params = validatedParams<TQGetShareAPIParams>();
  const std::string url = serverBaseURLText() + "/cloud/1/shares";

  TQStringDictionary query;
  if (!params->filter.empty()) {
    query.set("filter", params->filter);  // exactly "outbound" once checked
  }
  if (!params->cursor.empty()) {
    query.set("cursor", queryValue(params->cursor));
  }
  if (!params->since.empty()) {
    query.set("since", queryValue(params->since));
  }
  if (!params->until.empty()) {
    query.set("until", queryValue(params->until));
  }
  if (params->count > 0) {
    query.set("count", std::to_string(params->count));
  }

  const std::string queryText = paramterURLString(query);
  setRequestURLString(queryText.empty() ? url : url + "?" + queryText);
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
