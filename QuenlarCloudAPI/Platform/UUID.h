// UUID: fresh universally unique identifiers as text.
// Stateless; safe from any thread.
#pragma once

#include <string>

namespace tq {

// A new random UUID in upper-case text, e.g. "3F2504E0-4F89-41D3-9A0C-0305E82C3301".
std::string makeUUIDString();

}  // namespace tq
