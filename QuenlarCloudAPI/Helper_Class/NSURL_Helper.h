// URL helpers: reading the parameters of a URL's query, as the full sync reads the folder key of
// an answer's URL, and undoing percent-encoding where a caller compares names or values.
//
// parameterDictionary and valueForParameter take values exactly as the URL carries them, still
// percent-encoded. Stateless and safe from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/URL.h"

namespace NSURL_Helper {

// The query's "key=value" pieces by key. A piece without "=" is skipped; a value is cut at a
// further "=" inside it; a key given twice keeps its last value. Empty for a URL without a query.
std::map<std::string, std::string> parameterDictionary(const tq::URL& url);

// The value of parameter `name` as parameterDictionary reads it, or nullopt when it has none.
std::optional<std::string> valueForParameter(const tq::URL& url, std::string_view name);

// Undoes percent-encoding; a "%" not followed by two hexadecimal digits stays as written, and the
// decoded bytes are not checked to be UTF-8.
std::string percentDecoded(std::string_view text);

// Undoes percent-encoding strictly: nullopt when a "%" is not followed by two hexadecimal digits or
// the decoded bytes are not UTF-8.
std::optional<std::string> strictlyPercentDecoded(std::string_view text);

// As percentDecoded, and a "+" written as such (not "%2B") becomes a blank, as in form bodies.
std::string formDecoded(std::string_view text);

}  // namespace NSURL_Helper
