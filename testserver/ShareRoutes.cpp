#include "testserver/ShareRoutes.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "testserver/AccountRoutes.h"
#include "testserver/RouteSupport.h"
#include "testserver/ShareState.h"

namespace testserver {
namespace {

using JSON = ShareState::JSON;

constexpr std::size_t kDefaultPageSize = 20;
// A century and then some, in seconds: longer lifetimes are refused rather than overflowing dates.
constexpr int64_t kLongestExpiry = int64_t{1} << 32;

void badRequest(httplib::Response& response, const std::string& why) {
  answerJSON(response, 400, {{"error", why}});
}

// A whole decimal number in [0, limit]; nullopt for anything else.
std::optional<int64_t> boundedCount(const std::string& text, int64_t limit) {
  const auto value = wholeNumber(text);
  return value && *value >= 0 && *value <= limit ? value : std::nullopt;
}

bool isTextOrAbsent(const JSON& object, const char* key) {
  const auto found = object.find(key);
  return found == object.end() || found->is_string();
}

bool isCountOrAbsent(const JSON& object, const char* key, int64_t limit) {
  const auto found = object.find(key);
  if (found == object.end()) {
    return true;
  }
  if (found->is_number_unsigned()) {  // how the parser holds every integer from 0 up
    return found->get<uint64_t>() <= static_cast<uint64_t>(limit);
  }
  return false;
}

// Why a creation body is refused; nullopt when it is fine.
std::optional<std::string> creationProblem(const JSON& body) {
  if (!body.is_object() || !isTextOrAbsent(body, "name") ||
      !isCountOrAbsent(body, "expiresIn", kLongestExpiry)) {
    return "bad share";
  }
  const auto resources = body.find("resources");
  if (resources == body.end() || !resources->is_array() || resources->empty()) {
    return "resources required";
  }
  for (const JSON& resource : *resources) {
    if (!resource.is_object() || !isTextOrAbsent(resource, "name") ||
        !isTextOrAbsent(resource, "type") || !isTextOrAbsent(resource, "subType") ||
        !isTextOrAbsent(resource, "location") ||
        !isCountOrAbsent(resource, "size", std::numeric_limits<int64_t>::max())) {
      return "bad resource";
    }
  }
  return std::nullopt;
}

std::string baseURLOf(const httplib::Request& request) {
  return "http://" + request.get_header_value("Host");
}

void answerListing(ShareState& state, const httplib::Request& request,
                   httplib::Response& response) {
  if (request.get_param_value("filter") != "outbound") {
    badRequest(response, "filter");
    return;
  }
  std::size_t count = kDefaultPageSize;
  if (request.has_param("count")) {
    const auto value = boundedCount(request.get_param_value("count"), 1000);
    if (!value) {
      badRequest(response, "count");
      return;
    }
    count = *value == 0 ? kDefaultPageSize : static_cast<std::size_t>(*value);
  }
  std::optional<int64_t> window[2];
  const char* windowKeys[2] = {"since", "until"};
  for (int i = 0; i < 2; ++i) {
    if (request.has_param(windowKeys[i])) {
      window[i] = shareDateMilliseconds(request.get_param_value(windowKeys[i]));
      if (!window[i]) {
        badRequest(response, windowKeys[i]);
        return;
      }
    }
  }
  const auto cursor = request.has_param("cursor")
                          ? std::optional<std::string>(request.get_param_value("cursor"))
                          : std::nullopt;
  const auto page = state.page(cursor, count, window[0], window[1]);
  if (!page) {
    badRequest(response, "cursor");
    return;
  }
  JSON links = JSON::array();
  if (page->nextCursor) {
    std::string next = baseURLOf(request) + "/cloud/1/shares?filter=outbound&cursor=" +
                       httplib::detail::encode_query_param(*page->nextCursor) +
                       "&count=" + std::to_string(count);
    for (const char* key : windowKeys) {
      if (request.has_param(key)) {
        next += std::string("&") + key + "=" +
                httplib::detail::encode_query_param(request.get_param_value(key));
      }
    }
    links.push_back({{"rel", "next"}, {"link", std::move(next)}});
  }
  answerJSON(
      response, 200,
      {{"shares", {{"count", page->total}, {"links", std::move(links)}, {"share", page->shares}}}});
}

}  // namespace

void installShareRoutes(TestServer& server) {
  auto& state = server.state<ShareState>();
  server.route("GET", "/cloud/1/shares",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 if (authorised(request, response)) {
                   answerListing(state, request, response);
                 }
               });
  server.route("POST", "/cloud/1/shares",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 if (!authorised(request, response)) {
                   return;
                 }
                 const JSON body = JSON::parse(request.body, nullptr, false);
                 if (const auto problem = creationProblem(body)) {
                   badRequest(response, *problem);
                   return;
                 }
                 answerJSON(response, 201, {{"share", state.create(body, baseURLOf(request))}});
               });
  server.route("DELETE", "/cloud/1/shares/(.+)",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 if (!authorised(request, response)) {
                   return;
                 }
                 if (!state.remove(request.matches[1].str())) {
                   answerJSON(response, 404, {{"error", "no such share"}});
                   return;
                 }
                 response.status = 204;
               });
}

}  // namespace testserver
