#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace {

// Replaces each `character` of `text` with `escape`.
std::string escapeEach(std::string_view text, char character, std::string_view escape) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == character) {
      result += escape;
    } else {
      result += c;
    }
  }
  return result;
}

// The sort string goes to the server as the host wrote it ("name+asc" keeps its "+"), except for
// the two characters that would end the value early: "&" would start a pair of the host's making
// and "#" would cut off every pair after it.
std::string sortValue(std::string_view sort) {
  return escapeEach(escapeEach(sort, '&', "%26"), '#', "%23");
}

}  // namespace

std::string TQMetaDataAPI::encodedPath(std::string_view path) {
  // The URL-query encoding already escapes "#" and "%"; a "?" it keeps would start the query
  // inside a file name and list another folder.
  return escapeEach(NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(path), '?',
                    "%3F");
}

void TQMetaDataAPI::prepareQuery() {
  const auto params = validatedParams<TQMetaDataAPIParams>();
  std::string url = serverBaseURLText() + "/cloud/1/metadata";
  if (!params->path.empty()) {
    url += encodedPath(params->path);
  }

  TQStringDictionary query;
  if (params->includeDeleted) {
    query.set("include_deleted", "1");
  }
  if (!params->sort.empty()) {
    query.set("sort", sortValue(params->sort));
  }
  if (params->page > 0 && params->start >= 0) {
    query.set("page", std::to_string(params->page));
  }
  if (params->page == 0 && params->start > 0) {
    query.set("start", std::to_string(params->start));
  }
  if (params->count > 0) {
    query.set("count", std::to_string(params->count));
  }
  if (!params->filter.empty()) {
    query.set("filter", params->filter);
  }

  const std::string queryText = paramterURLString(query);
  setRequestURLString(queryText.empty() ? url : url + "?" + queryText);
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
