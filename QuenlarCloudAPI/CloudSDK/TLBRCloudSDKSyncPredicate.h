// TLBRCloudSDKSyncPredicate: translates a query in the search query syntax into one store
// predicate over the attributes of TQDBResource, for the local search.
//
// A query is terms ("key:value", or a key, a comparison sign and a value) joined left to right,
// without precedence, by the whole words AND and OR, grouped by parentheses; "key:(a OR b)"
// applies the key to each term of the group; a backslash before "(", ")", "[", "]" or ":" makes
// the character part of a value.
//
// nullptr (no filter: every row) answers a query from which no term can be read at all. A term
// that can be read but not evaluated (a key that is no attribute, such as "favorite"; a date
// that does not parse; a value of another kind than its attribute's) becomes a predicate that
// matches nothing. A term with no comparison inside a longer query, or a join word where a term
// belongs, drops out and leaves the rest combined. A query of any length translates, and its
// predicate selects the same rows in SQL as in memory. Class operations only; no state; safe from
// any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/Predicate.h"

class TLBRCloudSDKSyncPredicate {
 public:
  TLBRCloudSDKSyncPredicate() = delete;

  // The whole translation. With caseSensitivity false, text comparisons ignore case and
  // diacritics ([cd]); with true, diacritics only ([d]).
  static tq::PredicatePtr predicateFromString(std::string_view query, bool caseSensitivity);

  // The query's escapes replaced, cut into clauses at the parentheses, with key prefixes
  // ("name:" before a group) applied to the terms of the groups that follow them.
  static std::vector<std::string> splitQueryIntoClauses(std::string_view query);

  // The terms and join words of one clause, in order; terms are trimmed of white space. AND and
  // OR count only as whole words (with white space or the clause's end on each side).
  static std::vector<std::string> splitAtJoin(std::string_view text);

  // Terms at the even positions of `list`, join words between them, combined from the left.
  // nullptr for an empty list.
  static tq::PredicatePtr predicateFromGroup(const std::vector<std::string>& list,
                                             bool caseSensitivity);

  // One term's comparison; nullptr when the term has neither ":" nor a comparison sign.
  static tq::PredicatePtr predicateFromComponent(std::string_view term, bool caseSensitivity);

  // "\(" "\)" "\[" "\]" "\:" become "%28" "%29" "%5B" "%5D" "%3A", in that order.
  static std::string reformatQueryToEscapeCertainControlCharacters(std::string_view text);

  // "%28" "%29" "%5B" "%5D" "%3A" (upper-case only) become "(" ")" "[" "]" ":", in that order.
  static std::string decodeEscapedCharactersToOriginalState(std::string_view text);

  // The UTF-8 bytes of `text` percent-encoded (upper-case hexadecimal), keeping ASCII letters,
  // digits and "-._~!*';/?@&=+$,#". The text is always UTF-8, so unlike the interface this takes
  // no encoding.
  static std::string urlEncodeForString(std::string_view text);
};
