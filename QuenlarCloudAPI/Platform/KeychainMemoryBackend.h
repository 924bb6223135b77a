// KeychainMemoryBackend: keychain items held in memory, for tests. Besides storing items it
// counts the operations asked of it and fails chosen ones on demand, so that a test can see what
// a store writes and how it bears a keychain that refuses.
// Every member is safe from any thread.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/Keychain.h"

namespace tq {

class KeychainMemoryBackend : public KeychainBackend {
 public:
  enum class Operation { Find, Add, Update, Remove };

  KeychainMemoryBackend() = default;
  KeychainMemoryBackend(const KeychainMemoryBackend&) = delete;
  KeychainMemoryBackend& operator=(const KeychainMemoryBackend&) = delete;

  KeychainStatus find(const std::string& identifier, KeychainItem& item) override;
  KeychainStatus add(const std::string& identifier, const KeychainItem& item) override;
  KeychainStatus update(const std::string& identifier, const KeychainItem& item) override;
  KeychainStatus remove(const std::string& identifier) override;

  // The next `operation` answers `status` and changes nothing. Calls queue up: each failure
  // applies to one later operation of that kind.
  void failNext(Operation operation, KeychainStatus status);

  // How many times `operation` was asked for, failed ones included.
  std::size_t count(Operation operation) const;
  // Adds, updates and removes asked for.
  std::size_t writeCount() const;

  // The stored item, read without counting; nullopt when absent.
  std::optional<KeychainItem> item(const std::string& identifier) const;
  // Stores an item without counting, replacing any.
  void setItem(const std::string& identifier, KeychainItem item);

 private:
  // The injected status for this operation, if one is queued; counts the operation.
  std::optional<KeychainStatus> begin(Operation operation);

  mutable std::mutex mutex_;
  std::map<std::string, KeychainItem> items_;
  std::map<Operation, std::deque<KeychainStatus>> failures_;
  std::map<Operation, std::size_t> counts_;
};

}  // namespace tq
