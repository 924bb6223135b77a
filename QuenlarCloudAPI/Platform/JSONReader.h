// JSONReader: reads JSON text into a tq::JSON in one pass, with a limit on nesting.
//
// The value is the one tq::JSON::parse gives for the same text: keys keep the order they arrived
// in, and a key that comes again in the same object keeps its first place but takes the later
// value. Stateless; safe from any thread.
#pragma once

#include <optional>
#include <string_view>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace tq {

// The value of `text`; nullopt when the text is not exactly one well-formed JSON value, holds a
// NUL byte anywhere (the tokenizer would take a NUL for the end of the text), or nests objects and
// arrays more than `maximumDepth` deep. The depth is checked as containers open, so text nested
// too deep is refused as soon as the reader gets there. Throws only std::bad_alloc.
std::optional<JSON> readJSON(std::string_view text, int maximumDepth);

}  // namespace tq
