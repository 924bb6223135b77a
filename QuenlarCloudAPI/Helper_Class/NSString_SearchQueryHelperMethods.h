// Builders of the search query syntax as the library writes it: terms "key:value" joined left to
// right, without precedence, by AND and OR. The local search, the media lists and the media
// collections write their queries with these; the query translator (TLBRCloudSDKSyncPredicate)
// reads them. Plain text builders; stateless and safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NSString_SearchQueryHelperMethods {

// The term "key:value" (the key first, although the value is the first argument). The value may
// carry the forms the translator reads: "*" as a wildcard, or a bracketed date range.
std::string setValue(std::string_view value, std::string_view key);

// The terms joined from the left: the first term (even when empty), then for each later
// non-empty term "(<text so far>) <word> (<term>)". No terms give "(null)".
std::string doOperation(std::string_view word, const std::vector<std::string>& terms);
// doOperation with "AND" and with "OR".
std::string doAND(const std::vector<std::string>& terms);
std::string doOR(const std::vector<std::string>& terms);

}  // namespace NSString_SearchQueryHelperMethods
