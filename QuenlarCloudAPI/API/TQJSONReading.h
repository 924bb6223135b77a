// Reading members of the server's answers, which are untrusted: a member of an unexpected type
// never throws and never crashes; it reads as absent or as the documented fallback. A JSON null
// counts as absent everywhere. Stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQJSONReading {

// How deep the library reads JSON, answers and logged bodies alike; nothing the service sends
// comes near it, and deeper text is refused before a parser could recurse into it.
inline constexpr int kMaximumJSONDepth = 512;

// The member `key` of `object`, or nullptr when `object` is not an object, lacks the key, or
// holds null there.
const tq::JSON* member(const tq::JSON& object, std::string_view key);
const tq::JSON* member(const tq::JSON* object, std::string_view key);

// The text of a string value; nullopt for anything else.
std::optional<std::string> string(const tq::JSON* value);

// The text form of a value: a string as it is, an integer in decimal, a real in its shortest
// form, a boolean as "1" or "0", an object or array as compact JSON; nullopt when absent.
std::optional<std::string> description(const tq::JSON* value);

// A number, or text that starts with one, as a signed 64-bit integer: reals are truncated,
// values out of range are clamped, anything else reads as 0.
int64_t int64Value(const tq::JSON* value);

// A number, or text that starts with one, as a double; anything else reads as 0.
double doubleValue(const tq::JSON* value);

// The objects of a member that should hold a list of them: a list's elements that are objects, in
// order (others are skipped); a single object as a list of one; nothing for anything else. The
// pointers point into `value`.
std::vector<const tq::JSON*> objects(const tq::JSON* value);

}  // namespace TQJSONReading
