#include "testserver/Gate.h"

namespace testserver {

void Gate::open() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  changed_.notify_all();
}

bool Gate::isOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

bool Gate::waitOpen(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  ++waiters_;
  changed_.notify_all();  // waitForWaiters() watches the count
  const bool opened = changed_.wait_for(lock, timeout, [&] { return open_; });
  --waiters_;
  changed_.notify_all();
  return opened;
}

size_t Gate::waiters() const {
  std::lock_guard lock(mutex_);
  return waiters_;
}

bool Gate::waitForWaiters(size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return waiters_ >= n; });
}

}  // namespace testserver
