// PropertyList: reads property-list files, XML or binary, into tq::JSON.
//
// How the property-list types map to JSON:
//   dictionary -> object, keys in the order the file lists them
//   array      -> array
//   string     -> string
//   integer    -> number (signed 64-bit; the file format has no wider unsigned values in use)
//   real       -> number
//   boolean    -> bool
//   date       -> string, ISO-8601 in UTC: "2001-01-01T00:00:00Z", with ".SSS" milliseconds only
//                 when the date has a fraction of a second (the form XML property lists use)
//   data       -> string, standard Base64 without line breaks
//   UID        -> number
// Stateless; safe from any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace tq::PropertyList {

// The dictionary stored in the file, or nullopt when the file is missing, unreadable, larger than
// 16 MiB, not a property list, holds a root that is not a dictionary, or holds binary text that
// cannot be read whole (see PropertyListShape.h).
std::optional<JSON> dictionaryWithContentsOfFile(const std::filesystem::path& path);

// The same for property-list bytes already in memory.
std::optional<JSON> dictionaryWithData(std::string_view bytes);

}  // namespace tq::PropertyList
