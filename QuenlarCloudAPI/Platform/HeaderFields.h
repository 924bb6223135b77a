// HeaderFields: the ordered list of HTTP header fields shared by requests and responses.
//
// Names compare without regard to case, as HTTP requires; the spelling first used is kept. Order
// is the order of first insertion. A plain value; not synchronised.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tq {

using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

// True when the two header names are equal ignoring ASCII case.
bool headerNameEquals(std::string_view a, std::string_view b);

// The values of every field named `name`, joined with ", " in order; nullopt when none.
std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name);

}  // namespace tq
