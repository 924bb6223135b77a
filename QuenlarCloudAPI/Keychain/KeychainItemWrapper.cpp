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
  if (status == tq::kKeychainSuccess) {
    keychainItemData_ = secItemFormatToDictionary(item);
  } else {
    if (status != tq::kKeychainItemNotFound) {
      logFailure("Serious error, no matching item found in the keychain.", status);
    }
    emptyCopy();
  }
  keychainItemData_[kSecAttrGeneric] = identifier_;
}

void KeychainItemWrapper::setObject(const std::optional<std::string>& value,
                                    const std::string& key) {
  if (!value) {
    return;
  }
  std::lock_guard lock(mutex_);
  const auto held = keychainItemData_.find(key);
  if (held != keychainItemData_.end() && held->second == *value) {
    return;
  }
  keychainItemData_.insert_or_assign(key, *value);
  writeToKeychain();
}

std::optional<std::string> KeychainItemWrapper::objectForKey(const std::string& key) const {
  std::lock_guard lock(mutex_);
  const auto found = keychainItemData_.find(key);
  return found != keychainItemData_.end() ? std::optional(found->second) : std::nullopt;
}

void KeychainItemWrapper::resetKeychainItem() {
  std::lock_guard lock(mutex_);
  const auto status = backend_->remove(identifier_);
  if (status != tq::kKeychainSuccess && status != tq::kKeychainItemNotFound) {
    logFailure("Problem deleting current dictionary.", status);
  }
  emptyCopy();
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
