// The facade's three keychain items: the credentials, the keychain ID and the device ID.
#include <array>
#include <utility>

#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/UUID.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

constexpr std::array<const char*, 5> kTokenMembers = {"access_token", "expires_in", "refresh_token",
                                                      "scope", "token_type"};

std::string keychainIDOf(const std::shared_ptr<TQClientCredentials>& credentials) {
  return credentials ? credentials->keychainID() : std::string();
}

// The object held in `text`; nullopt for anything else. Never throws on the text.
std::optional<tq::JSON> parseObject(const std::string& text) {
  auto parsed = tq::JSON::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_object()) {
    return std::nullopt;
  }
  return parsed;
}

// The credentials item's text: the token members of `tokenAnswer` over those `stored`, then the
// client fields of `credentials` (a field that is unknown keeps its stored value).
std::string mergedCredentials(const tq::JSON& stored, const tq::JSON& tokenAnswer,
                              const TQClientCredentials* credentials) {
  const auto storedMember = [&stored](const char* name) -> const tq::JSON* {
    const auto found = stored.find(name);
    return found != stored.end() && !found->is_null() ? &*found : nullptr;
  };
  tq::JSON item = tq::JSON::object();
  for (const char* name : kTokenMembers) {
    // A refresh answer often leaves out what did not change; keeping the stored value means a
    // later refresh still has its refresh token.
    if (tokenAnswer.is_object()) {
      if (const auto found = tokenAnswer.find(name);
          found != tokenAnswer.end() && !found->is_null()) {
        item[name] = *found;
        continue;
      }
    }
    if (const auto* kept = storedMember(name)) {
      item[name] = *kept;
    }
  }
  const std::array<std::pair<const char*, std::string>, 3> clientFields = {{
      {"client_id", credentials != nullptr ? credentials->clientID() : std::string()},
      {"client_secret", credentials != nullptr ? credentials->clientSecret() : std::string()},
      {"redirect_url", credentials != nullptr ? credentials->redirectURLString() : std::string()},
  }};
  for (const auto& [name, value] : clientFields) {
    const auto* kept = storedMember(name);
    item[name] = !value.empty() || kept == nullptr ? tq::JSON(value) : *kept;
  }
  // Text that is not UTF-8 is replaced rather than thrown on: a write must not fail.
  return item.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
}

}  // namespace

std::shared_ptr<KeychainItemWrapper> TQAPISDK::keychainWrapper() {
  std::lock_guard lock(keychainStoresMutex_);
  if (!keychainWrapper_) {
    auto store =
        KeychainItemWrapper::initWithIdentifier(keychainIDOf(clientCredentials()), std::nullopt);
    store->setObject(kSecAttrAccessibleWhenUnlocked, kSecAttrAccessible);
    keychainWrapper_ = std::move(store);
  }
  return keychainWrapper_;
}

std::shared_ptr<KeychainItemWrapper> TQAPISDK::keyChainIDWrapper() {
  std::lock_guard lock(keychainStoresMutex_);
  if (!keyChainIDWrapper_) {
    keyChainIDWrapper_ = KeychainItemWrapper::initWithIdentifier(keychainIDKey, std::nullopt);
  }
  return keyChainIDWrapper_;
}

std::shared_ptr<KeychainItemWrapper> TQAPISDK::deviceIDKeyChainWrapper() {
  std::lock_guard lock(keychainStoresMutex_);
  if (!deviceIDKeyChainWrapper_) {
    const std::string keychainID = keychainIDOf(clientCredentials());
    // Before any keychain ID is known the item is still named, with "(null)" in its place, so
    // that requests sent before sign-in carry a lasting device ID.
    deviceIDKeyChainWrapper_ = KeychainItemWrapper::initWithIdentifier(
        "DeviceID-" + (keychainID.empty() ? std::string("(null)") : keychainID), std::nullopt);
  }
  return deviceIDKeyChainWrapper_;
}

void TQAPISDK::setKeychainWrapper(std::shared_ptr<KeychainItemWrapper> store) {
  std::lock_guard lock(keychainStoresMutex_);
  keychainWrapper_.swap(store);
  // The replaced store, now in the parameter, is released after the lock is.
}

void TQAPISDK::setKeyChainIDWrapper(std::shared_ptr<KeychainItemWrapper> store) {
  std::lock_guard lock(keychainStoresMutex_);
  keyChainIDWrapper_.swap(store);
}

void TQAPISDK::setDeviceIDKeyChainWrapper(std::shared_ptr<KeychainItemWrapper> store) {
  std::lock_guard lock(keychainStoresMutex_);
  deviceIDKeyChainWrapper_.swap(store);
}

void TQAPISDK::saveAuthCredentialsToKeychain(const tq::JSON& tokenAnswer) {
  const auto store = keychainWrapper();
  const auto credentials = clientCredentials();
  std::lock_guard lock(credentialsItemMutex_);
  // Merged with what the item holds as the change is made, so that an item unreadable when the
  // store was made gives up its stored members once it reads again.
  store->updateObject(kSecValueData, [&](const std::optional<std::string>& held) {
    const tq::JSON stored = parseObject(held.value_or("")).value_or(tq::JSON::object());
    return std::optional(mergedCredentials(stored, tokenAnswer, credentials.get()));
  });
}

std::optional<tq::JSON> TQAPISDK::retrieveAuthenticationCredetialsFromKeyChain() {
  const auto data = keychainWrapper()->objectForKey(kSecValueData);
  return data ? parseObject(*data) : std::nullopt;
}

void TQAPISDK::saveKeychainID(const std::string& keychainID) {
  keyChainIDWrapper()->setObject(keychainID, kSecAttrAccount);
}

std::string TQAPISDK::retrieveKeychainID() {
  return keyChainIDWrapper()->objectForKey(kSecAttrAccount).value_or(std::string());
}

std::string TQAPISDK::getDeviceID() {
  const auto store = deviceIDKeyChainWrapper();
  // Read and create under one lock, so that two first requests at once share one device ID.
  std::lock_guard lock(deviceIDMutex_);
  if (auto deviceID = store->objectForKey(kSecAttrAccount); deviceID && !deviceID->empty()) {
    return std::move(*deviceID);
  }
  // While the item cannot be read, one ID made here serves the whole process (the facade is one
  // per process) instead of a new one per request. Guarded by deviceIDMutex_.
  static std::string madeWhileUnreadable;
  std::string made = madeWhileUnreadable.empty() ? tq::makeUUIDString() : madeWhileUnreadable;
  // An item unreadable when the store was made is read again here, and an ID found in it wins.
  if (auto kept =
          store->updateObject(kSecAttrAccount, [&made](const std::optional<std::string>& held) {
            return held && !held->empty() ? held : std::optional(made);
          })) {
    madeWhileUnreadable.clear();  // a reset must make a new ID, not bring this one back
    return std::move(*kept);
  }
  madeWhileUnreadable = made;
  return made;
}

void TQAPISDK::resetDeviceIDFromKeychain() {
  const auto store = deviceIDKeyChainWrapper();
  std::lock_guard lock(deviceIDMutex_);
  store->resetKeychainItem();
}
