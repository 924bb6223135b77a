// What every endpoint family's routes share: JSON answers, the bearer-token check, and the "*"
// patterns the listings filter by.
#pragma once

#include <httplib.h>

#include <nlohmann/json.hpp>
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

// Whether `text` matches `pattern`, in which each "*" stands for any run of characters.
bool wildcardMatches(std::string_view text, std::string_view pattern);

}  // namespace testserver
