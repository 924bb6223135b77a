// What the three token endpoint calls share: their parameters travel in the URL query of a POST
// without a body, with "Content-Type: application/x-www-form-urlencoded" as their one header.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQStringDictionary.h"

class TQAPI;

namespace TQTokenRequest {

// A query value for the token endpoint: the URL-query encoding, and on top of it "&", "=", "+"
// and "#" percent-encoded, which that encoding keeps. Secrets, codes and redirect URLs may hold
// them, and unencoded they would add or cut parameters, or turn into spaces at the server.
std::string encodedQueryValue(std::string_view value);

// Fills `call` as a POST to `url` with `pairs` (values encoded here) as its query and the one
// header.
void prepare(TQAPI& call, const std::string& url, const TQStringDictionary& pairs);

}  // namespace TQTokenRequest
