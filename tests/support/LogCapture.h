// Captures the system log's lines while it lives, and restores the sink it replaced.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

class LogCapture {
 public:
  LogCapture()
      : previous_(tq::setSystemLogSink([state = state_](std::string_view line) {
          std::lock_guard lock(state->mutex);
          state->lines.emplace_back(line);
          state->added.notify_all();
        })) {}
  ~LogCapture() { tq::setSystemLogSink(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
  }
  // Waits until `count` lines arrived; answers them (fewer after the time-out).
  std::vector<std::string> waitForLines(std::size_t count) const {
    std::unique_lock lock(state_->mutex);
    state_->added.wait_for(lock, kTimeout, [&] { return state_->lines.size() >= count; });
    return state_->lines;
  }
  std::string text() const {
    std::string all;
    for (const auto& line : lines()) {
      all += line + "\n";
    }
    return all;
  }
  bool contains(std::string_view piece) const { return text().find(piece) != std::string::npos; }
  void clear() {
    std::lock_guard lock(state_->mutex);
    state_->lines.clear();
  }

 private:
  // Shared with the sink, which may still run on another thread while the capture goes away.
  struct State {
    std::mutex mutex;
    std::condition_variable added;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
  tq::SystemLogSink previous_;
};

}  // namespace testsupport
