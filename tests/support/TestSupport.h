// Fixtures shared by the test programs: a per-test temporary directory, a latch with a failure
// guard, and the generous time-out that every wait uses. Waiting is how tests synchronise; a
// time-out only turns a hang into a failure.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

// Long enough that only a hang reaches it, even under sanitizers on a loaded two-core machine.
inline constexpr std::chrono::seconds kTimeout{60};

// A fresh directory below the system's temporary directory, removed with everything in it.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Counts down from `count`; wait() returns false if the count did not reach zero in time.
class Latch {
 public:
  explicit Latch(int count = 1) : count_(count) {}
  void countDown();
  bool wait(std::chrono::milliseconds timeout = kTimeout);
  int count() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable reachedZero_;
  int count_;
};

// Polls `condition` until it holds or the time-out passes; for state that offers nothing to wait
// on.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = kTimeout);

// Resident set size and its peak, in bytes, from /proc/self/status.
int64_t residentSetSize();
int64_t peakResidentSetSize();

// Starts this test program anew, running only the test `testName` (disabled ones included), with
// `settings` ("NAME=value") added to its environment; answers the child's process ID, or -1. A
// new program, not a fork: a fork of a process whose other threads may hold locks can hang.
pid_t spawnTest(const std::string& testName, const std::vector<std::string>& settings);
// Waits for `child` and answers its exit status; -1 when it did not exit normally.
int exitStatusOf(pid_t child);

}  // namespace testsupport
