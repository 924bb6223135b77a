#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace {

void logFailure(const char* message, tq::KeychainStatus status) {
  tq::systemLog(std::string(message) + " (status " + std::to_string(status) + ")");
}

bool isValidUtf8(std::string_view text) {
  tq::Utf8Decoder decoder(text);
  while (const auto c = decoder.next()) {
    if (!c->valid) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<KeychainItemWrapper> KeychainItemWrapper::initWithIdentifier(
    const std::string& identifier, const std::optional<std::string>& /*accessGroup*/,
    std::shared_ptr<tq::KeychainBackend> backend) {
  if (identifier.empty()) {
    throw TQException(NSInvalidArgumentException,
                      "A keychain item needs an identifier: give a keychain ID with the client "
                      "credentials.");
  }
  if (!backend) {
    backend = tq::defaultKeychainBackend();
  }
  return std::make_shared<KeychainItemWrapper>(Key{}, identifier, std::move(backend));
}

KeychainItemWrapper::KeychainItemWrapper(Key /*key*/, std::string identifier,
                                         std::shared_ptr<tq::KeychainBackend> backend)
    : identifier_(std::move(identifier)), backend_(std::move(backend)) {
  tq::KeychainItem item;
  const auto status = backend_->find(identifier_, item);
  readable_ = takeRead(status, item);
  if (!readable_) {
    logFailure("Serious error, no matching item found in the keychain.", status);
  }
}

void KeychainItemWrapper::setObject(const std::optional<std::string>& value,
                                    const std::string& key) {
  if (!value) {
    return;
  }
  updateObject(key, [&value](const std::optional<std::string>& /*held*/) { return value; });
}

std::optional<std::string> KeychainItemWrapper::updateObject(
    const std::string& key,
    const std::function<std::optional<std::string>(const std::optional<std::string>& held)>&
        change) {
  std::lock_guard lock(mutex_);
  // Writing the copy of an item that could not be read would replace whatever it holds.
  if (!readable_ && !rereadLocked()) {
    return std::nullopt;
  }
  const auto found = keychainItemData_.find(key);
  std::optional<std::string> held =
      found != keychainItemData_.end() ? std::optional(found->second) : std::nullopt;
  auto value = change(held);
  if (!value || value == held) {
    return held;
  }
  keychainItemData_.insert_or_assign(key, *value);
  writeToKeychain();
  return value;
}

std::optional<std::string> KeychainItemWrapper::objectForKey(const std::string& key) const {
  std::lock_guard lock(mutex_);
  const auto found = keychainItemData_.find(key);
  return found != keychainItemData_.end() ? std::optional(found->second) : std::nullopt;
}

void KeychainItemWrapper::resetKeychainItem() {
  std::lock_guard lock(mutex_);
  const auto status = backend_->remove(identifier_);
  const bool gone = status == tq::kKeychainSuccess || status == tq::kKeychainItemNotFound;
  if (!gone) {
    logFailure("Problem deleting current dictionary.", status);
  }
  if (readable_) {
    emptyCopy();
  } else if (gone) {
    // An item known to be gone is known again: it starts over as a new one would.
    readable_ = takeRead(tq::kKeychainItemNotFound, {});
  }
}

KeychainItemWrapper::Dictionary KeychainItemWrapper::keychainItemData() const {
  std::lock_guard lock(mutex_);
  return keychainItemData_;
}

void KeychainItemWrapper::emptyCopy() {
  for (const char* key : {kSecAttrAccount, kSecAttrLabel, kSecAttrDescription, kSecValueData}) {
    keychainItemData_.insert_or_assign(key, std::string());
  }
}

bool KeychainItemWrapper::takeRead(tq::KeychainStatus status, const tq::KeychainItem& item) {
  keychainItemData_.clear();
  if (status == tq::kKeychainSuccess) {
    keychainItemData_ = secItemFormatToDictionary(item);
  } else if (status == tq::kKeychainItemNotFound) {
    emptyCopy();
  } else {
    return false;
  }
  keychainItemData_[kSecAttrGeneric] = identifier_;
  return true;
}

bool KeychainItemWrapper::rereadLocked() {
  tq::KeychainItem item;
  const auto status = backend_->find(identifier_, item);
  readable_ = takeRead(status, item);
  if (!readable_) {
    logFailure("The keychain item still cannot be read; the change is not written over it.",
               status);
  }
  return readable_;
}

void KeychainItemWrapper::writeToKeychain() {
  const tq::KeychainItem changed = dictionaryToSecItemFormat(keychainItemData_);
  tq::KeychainItem existing;
  if (backend_->find(identifier_, existing) == tq::kKeychainSuccess) {
    if (const auto status = backend_->update(identifier_, changed);
        status != tq::kKeychainSuccess) {
      logFailure("Couldn't update the Keychain Item.", status);
    }
  } else if (const auto status = backend_->add(identifier_, changed);
             status != tq::kKeychainSuccess) {
    logFailure("Couldn't add the Keychain Item.", status);
  }
}

tq::KeychainItem KeychainItemWrapper::dictionaryToSecItemFormat(const Dictionary& dictionary) {
  tq::KeychainItem item;
  item.attributes = dictionary;
  if (const auto data = item.attributes.find(kSecValueData); data != item.attributes.end()) {
    item.data = std::move(data->second);
    item.attributes.erase(data);
  }
  return item;
}

KeychainItemWrapper::Dictionary KeychainItemWrapper::secItemFormatToDictionary(
    const tq::KeychainItem& item) {
  Dictionary dictionary = item.attributes;
  // Data that are not UTF-8 text have no text form: the copy holds no data value for them.
  if (isValidUtf8(item.data)) {
    dictionary.insert_or_assign(kSecValueData, item.data);
  } else {
    dictionary.erase(kSecValueData);
  }
  return dictionary;
}
