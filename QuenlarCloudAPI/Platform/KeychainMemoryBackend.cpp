#include "QuenlarCloudAPI/Platform/KeychainMemoryBackend.h"

#include <utility>

namespace tq {

std::optional<KeychainStatus> KeychainMemoryBackend::begin(Operation operation) {
  ++counts_[operation];
  auto& queued = failures_[operation];
  if (queued.empty()) {
    return std::nullopt;
  }
  const KeychainStatus status = queued.front();
  queued.pop_front();
  return status;
}

KeychainStatus KeychainMemoryBackend::find(const std::string& identifier, KeychainItem& item) {
  std::lock_guard lock(mutex_);
  if (const auto failure = begin(Operation::Find)) {
    return *failure;
  }
  const auto found = items_.find(identifier);
  if (found == items_.end()) {
    return kKeychainItemNotFound;
  }
  item = found->second;
  return kKeychainSuccess;
}

KeychainStatus KeychainMemoryBackend::add(const std::string& identifier, const KeychainItem& item) {
  std::lock_guard lock(mutex_);
  if (const auto failure = begin(Operation::Add)) {
    return *failure;
  }
  return items_.try_emplace(identifier, item).second ? kKeychainSuccess : kKeychainDuplicateItem;
}

KeychainStatus KeychainMemoryBackend::update(const std::string& identifier,
                                             const KeychainItem& item) {
  std::lock_guard lock(mutex_);
  if (const auto failure = begin(Operation::Update)) {
    return *failure;
  }
  const auto found = items_.find(identifier);
  if (found == items_.end()) {
    return kKeychainItemNotFound;
  }
  found->second = item;
  return kKeychainSuccess;
}

KeychainStatus KeychainMemoryBackend::remove(const std::string& identifier) {
  std::lock_guard lock(mutex_);
  if (const auto failure = begin(Operation::Remove)) {
    return *failure;
  }
  return items_.erase(identifier) > 0 ? kKeychainSuccess : kKeychainItemNotFound;
}

void KeychainMemoryBackend::failNext(Operation operation, KeychainStatus status) {
  std::lock_guard lock(mutex_);
  failures_[operation].push_back(status);
}

std::size_t KeychainMemoryBackend::count(Operation operation) const {
  std::lock_guard lock(mutex_);
  const auto found = counts_.find(operation);
  return found != counts_.end() ? found->second : 0;
}

std::size_t KeychainMemoryBackend::writeCount() const {
  return count(Operation::Add) + count(Operation::Update) + count(Operation::Remove);
}

std::optional<KeychainItem> KeychainMemoryBackend::item(const std::string& identifier) const {
  std::lock_guard lock(mutex_);
  const auto found = items_.find(identifier);
  return found != items_.end() ? std::optional(found->second) : std::nullopt;
}

void KeychainMemoryBackend::setItem(const std::string& identifier, KeychainItem item) {
  std::lock_guard lock(mutex_);
  items_.insert_or_assign(identifier, std::move(item));
}

}  // namespace tq
