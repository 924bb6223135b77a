// Shared by the keychain tests: system-log capture and a look at files and modes.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace keychaintest {

// Captures the system log while it lives.
class LogCapture {
 public:
  LogCapture() {
    tq::setSystemLogSink([state = state_](std::string_view line) {
      std::lock_guard lock(state->mutex);
      state->lines.emplace_back(line);
    });
  }
  ~LogCapture() { tq::setSystemLogSink(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
  }
  std::string text() const {
    std::string all;
    for (const auto& line : lines()) {
      all += line + "\n";
    }
    return all;
  }
  bool contains(const std::string& piece) const { return text().find(piece) != std::string::npos; }
  void clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
  }

 private:
  struct State {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

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
