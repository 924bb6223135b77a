// Reads a whole small file (a bundle's property list or string table) into memory.
//
// Files larger than the caller's limit count as unreadable, so a stray huge file can never make
// the library hold it in memory. Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tq {

// The file's bytes, or nullopt when it is missing, not a regular file, unreadable or larger than
// `maxBytes`.
std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace tq
