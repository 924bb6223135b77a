// PropertyListShape: a cheap look at property-list bytes before the parser sees them.
//
// The parser we build on recurses once per level of nesting and copies an object once per
// reference to it, so a small hostile file could exhaust the stack or memory. These checks bound
// the nesting depth (XML and binary) and, for binary lists, the number of objects the parser
// would build once shared references are expanded; cycles are refused outright. Binary text is
// checked too, since the parser alters some text and aborts the process on some keys: a NUL in
// ASCII text or in any key, a byte beyond ASCII in ASCII text and an unpaired UTF-16 surrogate
// are refused. U+0000 in a UTF-16 value is kept.
// Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace tq {

struct PropertyListLimits {
  std::size_t maxDepth = 512;
  std::size_t maxExpandedObjects = 1'000'000;
};

// True when `bytes` stay within the limits (or are no property list at all; the parser then says
// so itself). False when they are too deep, too large once expanded, hold text the parser would
// not hand back whole, or are malformed in a way the parser could trip on.
bool isWithinLimits(std::string_view bytes, const PropertyListLimits& limits = {});

}  // namespace tq
