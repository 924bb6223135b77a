// KeychainItemWrapper: the store of one generic-password keychain item. It keeps an in-memory copy
// of the item's attributes and of its data (as UTF-8 text under kSecValueData) and writes every
// change through to the keychain at once.
//
// Promises:
// - Opening a store reads the item once; afterwards objectForKey() answers from the copy and never
//   reads the keychain. An absent item gets an empty copy and stays absent until the first
//   setObject() that changes a value.
// - An item that exists but cannot be read (any failure but "not found") gets no copy at all:
//   reads answer nullopt, and each change reads the item again first. While it still cannot be
//   read, the change is refused and logged, never written over what the item holds; once it can,
//   the change applies on top of the item's values.
// - A keychain failure never throws and never ends the process: it is written to the system log
//   ("Couldn't add the Keychain Item.", ...) without the item's data, and the copy keeps the value
//   that was set.
// - Every member is safe from any thread; operations on one store run one at a time, each with
//   its keychain write.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/Keychain.h"

// Attribute keys of the in-memory copy, and the one accessibility value the library sets.
inline constexpr char kSecAttrAccount[] = "account";
inline constexpr char kSecAttrLabel[] = "label";
inline constexpr char kSecAttrDescription[] = "description";
inline constexpr char kSecAttrGeneric[] = "generic";
inline constexpr char kSecAttrAccessible[] = "accessible";
inline constexpr char kSecValueData[] = "data";
inline constexpr char kSecAttrAccessibleWhenUnlocked[] = "when-unlocked";

class KeychainItemWrapper {
  struct Key {};

 public:
  using Dictionary = std::map<std::string, std::string>;

  // Opens the store of the item `identifier` in `backend` (the default keychain when null).
  // `accessGroup` is not used: no item of the library has an access group. Raises TQException
  // "NSInvalidArgumentException" when `identifier` is empty.
  static std::shared_ptr<KeychainItemWrapper> initWithIdentifier(
      const std::string& identifier, const std::optional<std::string>& accessGroup,
      std::shared_ptr<tq::KeychainBackend> backend = nullptr);

  KeychainItemWrapper(Key /*key*/, std::string identifier,
                      std::shared_ptr<tq::KeychainBackend> backend);
  KeychainItemWrapper(const KeychainItemWrapper&) = delete;
  KeychainItemWrapper& operator=(const KeychainItemWrapper&) = delete;

  // Puts `value` into the copy under `key` and writes the item. No value (nullopt) and a value
  // equal to the one held are ignored: nothing is written.
  void setObject(const std::optional<std::string>& value, const std::string& key);

  // Sets `key` to what `change` makes of the value held (nullopt when none), writing the item as
  // setObject() does: a nullopt answer or the value held writes nothing. Answers the value held
  // afterwards, or nullopt, without running `change`, while the item cannot be read. `change`
  // runs under the store's lock and must not use the store.
  std::optional<std::string> updateObject(
      const std::string& key,
      const std::function<std::optional<std::string>(const std::optional<std::string>& held)>&
          change);

  // The copy's value for `key`; nullopt when it holds none.
  std::optional<std::string> objectForKey(const std::string& key) const;

  // Deletes the item from the keychain (an absent item is fine) and empties the account, label,
  // description and data of the copy. Nothing is written back. An item that could not be read
  // gets the copy of a new item once it is deleted.
  void resetKeychainItem();

  // A snapshot of the in-memory copy; empty while the item cannot be read.
  Dictionary keychainItemData() const;

  const std::string& identifier() const { return identifier_; }

 private:
  void emptyCopy();
  // Makes the copy from a read's answer; false, leaving the copy empty, when the read failed.
  bool takeRead(tq::KeychainStatus status, const tq::KeychainItem& item);
  // Reads the item again after a failed read; false, and logged, while it still fails.
  bool rereadLocked();
  void writeToKeychain();
  static tq::KeychainItem dictionaryToSecItemFormat(const Dictionary& dictionary);
  static Dictionary secItemFormatToDictionary(const tq::KeychainItem& item);

  const std::string identifier_;
  const std::shared_ptr<tq::KeychainBackend> backend_;
  mutable std::mutex mutex_;
  Dictionary keychainItemData_;
  bool readable_ = true;  // false after a read failed: the copy then stands for nothing
};
