// URL helpers: reading the parameters of a URL's query, as the full sync reads the folder key of
// an answer's URL.
//
// Values are taken exactly as the URL carries them, still percent-encoded. Stateless and safe
// from any thread.
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

}  // namespace NSURL_Helper
