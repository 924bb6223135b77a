#include "testserver/RouteSupport.h"

#include <charconv>
#include <utility>

namespace testserver {

void answerJSON(httplib::Response& response, int status, const nlohmann::ordered_json& body) {
  response.status = status;
  response.set_content(body.dump(), "application/json");
}

std::string bearerToken(const httplib::Request& request) {
  const std::string value = request.get_header_value("Authorization");
  constexpr std::string_view kPrefix = "Bearer ";
  return value.starts_with(kPrefix) ? value.substr(kPrefix.size()) : std::string();
}

bool authorised(const httplib::Request& request, httplib::Response& response) {
  if (!bearerToken(request).empty()) {
    return true;
  }
  answerJSON(response, 401, {{"error", "invalid_token"}});
  return false;
}

TestServer::Handler withBearer(TestServer::Handler handler) {
  return
      [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
        if (authorised(request, response)) {
          handler(request, response);
        }
      };
}

std::optional<int64_t> wholeNumber(std::string_view text) {
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<int64_t> countParameter(const httplib::Request& request, const char* key,
                                      int64_t fallback) {
  if (!request.has_param(key)) {
    return fallback;
  }
  const auto value = wholeNumber(request.get_param_value(key));
  return value && *value >= 0 ? value : std::nullopt;
}

bool wildcardMatches(std::string_view text, std::string_view pattern) {
  const size_t star = pattern.find('*');
  if (star == std::string_view::npos) {
    return text == pattern;
  }
  if (!text.starts_with(pattern.substr(0, star))) {
    return false;
  }
  const std::string_view rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from) {
    if (wildcardMatches(text.substr(from), rest)) {
      return true;
    }
  }
  return false;
}

}  // namespace testserver
