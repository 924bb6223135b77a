#include "testserver/WorkerPool.h"

#include <utility>

namespace testserver {

void JobOrder::begin() { const std::lock_guard lock(mutex_); }

void JobOrder::end() {
  {
    const std::lock_guard lock(mutex_);
    ++count_;
  }
  finished_.notify_all();
}

bool JobOrder::waitFinished(size_t n, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return finished_.wait_for(lock, timeout, [&] { return count_ >= n; });
}

void WorkerPool::enqueue(std::function<void()> job) {
  pool_.enqueue([this, job = std::move(job)] {
    order_.begin();
    job();
    order_.end();
  });
}

}  // namespace testserver
