// tq::JSON: the library's JSON value, keeping object keys in the order they arrived or were
// inserted, so that what the library sends and logs reads in the order it was built.
//
// The server's answers are untrusted: read members with find()/contains() and check their type
// first; never use operator[] on a const JSON with a key that may be missing.
#pragma once

#include <nlohmann/json.hpp>

namespace tq {

using JSON = nlohmann::ordered_json;

}  // namespace tq
