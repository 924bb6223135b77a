// KeychainFileBackend: keychain items as files in one private directory.
//
// Promises:
// - The directory (and any missing parent) is created with mode 0700. Every operation first
//   checks that the directory is a real directory (not a link), owned by this user, and closed to
//   group and others; otherwise the operation fails with kKeychainIOError and stores nothing.
// - An item lives in the file named by the lower-case hexadecimal SHA-256 of its identifier, so
//   no identifier can name a file outside the directory.
// - A write goes to a new temporary file (mode 0600) in the same directory, is flushed, renamed
//   over the item's file, and the directory is flushed: after a crash the old item or the new one
//   is there, never a torn one.
// - A read refuses links, files that are not regular, files of another owner and files above
//   kMaximumItemFileSize; such files, and corrupt ones, count as absent (an add replaces them).
//   Each refusal is written to the system log with the file's name and the reason, never its
//   contents. Item data are never logged.
// - Every member is safe from any thread; operations of one backend object run one at a time.
//   Two processes writing one item at once leave one of their items, whole.
#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/Platform/Keychain.h"

namespace tq {

class KeychainFileBackend : public KeychainBackend {
 public:
  static constexpr std::size_t kMaximumItemFileSize = std::size_t{64} * 1024;

  // Nothing is created or checked until the first operation.
  explicit KeychainFileBackend(std::filesystem::path directory);
  KeychainFileBackend(const KeychainFileBackend&) = delete;
  KeychainFileBackend& operator=(const KeychainFileBackend&) = delete;

  const std::filesystem::path& directory() const { return directory_; }

  // The name of the file that holds the item `identifier`.
  static std::string fileNameForIdentifier(const std::string& identifier);

  KeychainStatus find(const std::string& identifier, KeychainItem& item) override;
  KeychainStatus add(const std::string& identifier, const KeychainItem& item) override;
  KeychainStatus update(const std::string& identifier, const KeychainItem& item) override;
  KeychainStatus remove(const std::string& identifier) override;

 private:
  const std::filesystem::path directory_;
  std::mutex mutex_;
};

}  // namespace tq
