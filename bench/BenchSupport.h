// The harness every benchmark program shares: numbers from the environment, a private temporary
// directory, wall-clock timing, the process's resident memory, running a reference command and
// waiting for one transfer's outcome.
//
// Header only, so that bench/CMakeLists.txt (one program per .cpp) does not make it a program.
// Meant for a benchmark's main thread before or between its measured runs: getenv and system are
// not safe beside other threads that change the environment.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace bench {

// The variable `name` read as a decimal integer, or `fallback` when it is unset or empty.
inline int64_t envNumber(const char* name, int64_t fallback) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read before threads
  if (value == nullptr || *value == '\0') {
    return fallback;
  }
  return std::strtoll(value, nullptr, 10);
}

// As envNumber, for counts read as unsigned.
inline uint64_t envCount(const char* name, uint64_t fallback) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read before threads
  if (value == nullptr || *value == '\0') {
    return fallback;
  }
  return std::strtoull(value, nullptr, 10);
}

// A fresh directory of our own (mode 0700) under the system's temporary directory, its name
// starting with `prefix`; nullopt when it cannot be made.
inline std::optional<std::filesystem::path> makeTemporaryDirectory(std::string_view prefix) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    return std::nullopt;
  }
  return std::filesystem::path(pattern);
}

// The wall-clock seconds that `action` takes.
template <typename Action>
double seconds(Action&& action) {
  const auto start = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A field of /proc/self/status in bytes (VmRSS, VmHWM); 0 when it is not there.
inline int64_t statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stoll(line.substr(field.size() + 1)) * 1024;
    }
  }
  return 0;
}

// Runs a shell command line built by the benchmark itself; true when it exits with status 0.
inline bool runCommand(const std::string& command) {
  return std::system(command.c_str()) == 0;  // NOLINT(concurrency-mt-unsafe, cert-env33-c)
}

// One transfer's outcome, reported by a session delegate on its queue and awaited by the
// measuring thread; reusable for the next run once wait() has answered. Not copyable.
class TaskOutcome {
 public:
  TaskOutcome() = default;
  TaskOutcome(const TaskOutcome&) = delete;
  TaskOutcome& operator=(const TaskOutcome&) = delete;

  void report(bool ok) {
    std::lock_guard lock(mutex_);
    ok_ = ok;
    done_ = true;
    changed_.notify_all();
  }

  // Waits for the next report and answers it.
  bool wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
    done_ = false;
    return ok_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  bool ok_ = false;
};

}  // namespace bench
