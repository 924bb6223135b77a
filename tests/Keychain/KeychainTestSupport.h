// Shared by the keychain tests: a look at files and modes.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/LogCapture.h"

namespace keychaintest {

using testsupport::LogCapture;

// The permission bits of `path` (links not followed); -1 when it cannot be examined.
inline int modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// The names in `dir`, sorted.
inline std::vector<std::string> namesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace keychaintest
