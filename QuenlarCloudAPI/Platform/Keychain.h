// Keychain: generic-password items, standing in for the platform's keychain services.
//
// An item is found by its identifier (the generic attribute) and holds text attributes and
// opaque data. A KeychainBackend stores the items; every operation answers a status modelled on
// the platform's: kKeychainSuccess, kKeychainItemNotFound, kKeychainDuplicateItem, or another
// negative value for a failure. No operation throws for a keychain failure.
//
// The library's items live in the default backend: a KeychainFileBackend over
// defaultKeychainDirectory() unless the host chose another directory or backend before first use
// (tests may choose again at any time; stores made before keep the backend they were given).
// Backends and the functions here are safe from any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace tq {

using KeychainStatus = int32_t;

inline constexpr KeychainStatus kKeychainSuccess = 0;
inline constexpr KeychainStatus kKeychainItemNotFound = -25300;
inline constexpr KeychainStatus kKeychainDuplicateItem = -25299;
inline constexpr KeychainStatus kKeychainIOError = -36;
inline constexpr KeychainStatus kKeychainParameterError = -50;

// One item: its attributes by key and its data bytes.
struct KeychainItem {
  std::map<std::string, std::string> attributes;
  std::string data;

  bool operator==(const KeychainItem&) const = default;
};

class KeychainBackend {
 public:
  virtual ~KeychainBackend() = default;

  // Copies the item named `identifier` into `item`. kKeychainItemNotFound when there is none
  // (`item` is then left as it was).
  virtual KeychainStatus find(const std::string& identifier, KeychainItem& item) = 0;
  // Stores a new item; kKeychainDuplicateItem when one with this identifier exists.
  virtual KeychainStatus add(const std::string& identifier, const KeychainItem& item) = 0;
  // Replaces the attributes and data of an existing item; kKeychainItemNotFound when absent.
  virtual KeychainStatus update(const std::string& identifier, const KeychainItem& item) = 0;
  // Deletes the item; kKeychainItemNotFound when absent.
  virtual KeychainStatus remove(const std::string& identifier) = 0;
};

// $XDG_DATA_HOME/QuenlarCloudAPI/Keychain (or ~/.local/share/QuenlarCloudAPI/Keychain).
std::filesystem::path defaultKeychainDirectory();

// The backend the library's stores use; made on first use.
std::shared_ptr<KeychainBackend> defaultKeychainBackend();

// Replaces the default backend; nullptr brings back the file backend over the default directory.
void setDefaultKeychainBackend(std::shared_ptr<KeychainBackend> backend);

// Makes the default backend a KeychainFileBackend over `directory`.
void setKeychainDirectory(const std::filesystem::path& directory);

}  // namespace tq
