// What the playlist calls build their requests from: the endpoint URLs with the identifiers the
// host gives placed safely in the path, the listings' query, and the JSON body with its headers.
// Stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQPlaylistRequest {

// "<base>/cloud/1/playlists".
std::string playlistsURL(const std::string& baseURL);
// "<base>/cloud/1/playlists/<playlistUID>". A "/" or "%" the host wrote stays; blanks, "?", "#"
// and dot segments are encoded, so the UID cannot reach another resource.
std::string playlistURL(const std::string& baseURL, std::string_view playlistUID);
// "<base>/cloud/1/playlists/<playlistUID>/items".
std::string itemsURL(const std::string& baseURL, std::string_view playlistUID);
// "<base>/cloud/1/playlists/<playlistUID>/items/<itemUID>", both encoded as above.
std::string itemURL(const std::string& baseURL, std::string_view playlistUID,
                    std::string_view itemUID);

// The listings' query pairs after the ones of their own: "page" (page > 0 and start >= 0), "start"
// (page 0 and start > 0) and "count" (count > 0), in decimal.
void addPaging(TQStringDictionary& query, int32_t page, int32_t start, int32_t count);
// A listing's free-text value ("type", "sort") as the query carries it: the server reads it as the
// host wrote it ("+" included), but it can neither end its pair nor the query.
std::string queryValue(std::string_view text);
// `url`, followed by "?" and the query when the query has pairs.
std::string withQuery(std::string url, const TQStringDictionary& query);

// The body of a call: `body` written compact (text that is not UTF-8 gets replacement characters
// rather than failing the call).
std::string compactJSON(const tq::JSON& body);
// The headers of a call with a JSON body: those of every resource call, then
// "Content-Type: application/json".
TQStringDictionary jsonBodyHeaders(const std::string& accessToken);

}  // namespace TQPlaylistRequest
