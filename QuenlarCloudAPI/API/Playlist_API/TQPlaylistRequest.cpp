#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistRequest.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

namespace TQPlaylistRequest {

std::string playlistsURL(const std::string& baseURL) { return baseURL + "/cloud/1/playlists"; }

std::string playlistURL(const std::string& baseURL, std::string_view playlistUID) {
  return playlistsURL(baseURL) + "/" + NSString_HelperMethods::urlPathSegmentsEncoded(playlistUID);
}

std::string itemsURL(const std::string& baseURL, std::string_view playlistUID) {
  return playlistURL(baseURL, playlistUID) + "/items";
}

std::string itemURL(const std::string& baseURL, std::string_view playlistUID,
                    std::string_view itemUID) {
  return itemsURL(baseURL, playlistUID) + "/" +
         NSString_HelperMethods::urlPathSegmentsEncoded(itemUID);
}

void addPaging(TQStringDictionary& query, int32_t page, int32_t start, int32_t count) {
  if (page > 0 && start >= 0) {
    query.set("page", std::to_string(page));
  }
  if (page == 0 && start > 0) {
    query.set("start", std::to_string(start));
  }
  if (count > 0) {
    query.set("count", std::to_string(count));
  }
}

std::string queryValue(std::string_view text) {
  return NSString_HelperMethods::rawQueryValueEncoded(text);
}

std::string withQuery(std::string url, const TQStringDictionary& query) {
  const std::string queryText = TQAPI::paramterURLString(query);
  return queryText.empty() ? std::move(url) : std::move(url) + "?" + queryText;
}

std::string compactJSON(const tq::JSON& body) {
  return body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
}

TQStringDictionary jsonBodyHeaders(const std::string& accessToken) {
  auto headers = TQAPI::bearerJSONHeaders(accessToken);
  headers.set("Content-Type", "application/json");
  return headers;
}

}  // namespace TQPlaylistRequest
