// TQServerSettings: the library bundle's ServerSettings property list, which every call reads
// anew so that a changed file reaches the next call. Only the parsing is saved: the dictionary
// parsed last is kept with the bytes it came from and reused while the file holds the same bytes.
// Safe from any thread.
#pragma once

#include <optional>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQServerSettings {

// The dictionary in the file, or nullopt when it is missing or not a dictionary.
std::optional<tq::JSON> read();

}  // namespace TQServerSettings
