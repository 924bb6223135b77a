// What every endpoint family's routes share: JSON answers, the bearer-token check, and the "*"
// patterns the listings filter by.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "testserver/TestServer.h"

namespace testserver {

// Answers `body` as JSON with `status`.
void answerJSON(httplib::Response& response, int status, const nlohmann::ordered_json& body);

// The bearer token of a request, or "" when it carries none.
std::string bearerToken(const httplib::Request& request);

// True when the request carries a bearer token; otherwise answers 401 and says false.
bool authorised(const httplib::Request& request, httplib::Response& response);

// `handler`, behind the bearer-token check.
TestServer::Handler withBearer(TestServer::Handler handler);

// The whole decimal number `text` spells, with nothing before or after it; nullopt otherwise.
std::optional<int64_t> wholeNumber(std::string_view text);

// Query parameter `key` as a whole number of at least 0; `fallback` when the request has none,
// nullopt when it is anything else.
std::optional<int64_t> countParameter(const httplib::Request& request, const char* key,
                                      int64_t fallback);

// Whether `text` matches `pattern`, in which each "*" stands for any run of characters.
bool wildcardMatches(std::string_view text, std::string_view pattern);

}  // namespace testserver
