// Unicode: the character classes, comparisons and folding that the library's text handling needs,
// over UTF-8 text.
//
// - isAlphanumeric: letters, marks and digits of every script (general categories L*, M*, N*).
// - localizedCaseInsensitiveCompare: the user's locale's collation ignoring case but not
//   accents; the root collation when the locale is "C"/"POSIX" or unknown.
// - localizedCaseInsensitiveSortKey: bytes whose plain byte order is the order of
//   localizedCaseInsensitiveCompare, so a sort collates each text once instead of on every compare.
// - compareCodePoints: plain order by code point, the same for every locale.
// - fold: the form in which two texts compare equal when they match with [c], [d] or [cd]:
//   canonical decomposition, full case folding with the default (non-Turkic) rules, removal of
//   non-spacing marks (Mn), then NFC. Pure ASCII text skips the Unicode machinery.
// Ill-formed UTF-8 counts as U+FFFD wherever it occurs.
// Every function is safe from any thread (each thread keeps its own collator).
#pragma once

#include <string>
#include <string_view>

namespace tq::Unicode {

bool isAlphanumeric(char32_t c);

// -1, 0 or 1 as `a` sorts before, equal to or after `b`.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);
std::string localizedCaseInsensitiveSortKey(std::string_view text);
// Appends localizedCaseInsensitiveSortKey(text) to `keys`, so that a sort can keep the keys of a
// whole list in one buffer instead of one allocation per text.
void appendLocalizedCaseInsensitiveSortKey(std::string_view text, std::string& keys);
int compareCodePoints(std::string_view a, std::string_view b);

// `text` folded for matching; with both flags off it is only brought to NFC.
std::string fold(std::string_view text, bool caseInsensitive, bool diacriticInsensitive);

}  // namespace tq::Unicode
