// KeychainItemFormat: the bytes of one keychain item file.
//
// Layout (integers are 32-bit little-endian):
//   "TQKCITEM"  version (1)
//   identifier length, identifier
//   attribute count, then for each: key length, key, value length, value
//   data length, data
//   SHA-256 of everything before it (32 raw bytes)
// The identifier is kept so that a file copied or renamed under another item's name is not taken
// for that item; the digest catches files damaged after they were written. Stateless functions,
// safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Keychain.h"

namespace tq {

inline constexpr uint32_t kKeychainItemFormatVersion = 1;

// The file bytes of `item` stored under `identifier`.
std::string encodeKeychainItem(const std::string& identifier, const KeychainItem& item);

// The item in `bytes` when they are a well-formed file of this version for `identifier`;
// nullopt for anything else (never throws on the bytes).
std::optional<KeychainItem> decodeKeychainItem(std::string_view bytes,
                                               const std::string& identifier);

}  // namespace tq
