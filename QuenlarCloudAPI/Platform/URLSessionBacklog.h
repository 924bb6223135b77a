// URLSessionBacklog: the body bytes of one data task that its transfer has read and the delegate
// has not had yet, whether they wait on the delegate queue or behind the task's gate.
//
// Internal to Platform/. The network thread stops reading a body while its backlog is above
// kHigh, and the delegate queue tells it to go on once the backlog falls below kLow: a slow
// delegate, or one that takes its time over a response's disposition, never makes pieces pile up.
// Lock-free: the network thread adds, the delegate queue settles.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tq::detail {

class URLSessionBacklog {
 public:
  static constexpr int64_t kHigh = int64_t{4} << 20;
  static constexpr int64_t kLow = int64_t{1} << 20;

  // Network thread: true when the transfer must stop reading now. It then waits for settle() to
  // answer true, which happens once the backlog has fallen below kLow.
  bool full();
  // Network thread: `size` more bytes are on their way to the delegate.
  void add(size_t size) { queued_.fetch_add(static_cast<int64_t>(size)); }
  // Delegate queue: `size` bytes were delivered or dropped. True when the transfer had stopped
  // reading and must now be told to go on.
  bool settle(size_t size);

 private:
  std::atomic<int64_t> queued_{0};
  std::atomic<bool> stopped_{false};
};

}  // namespace tq::detail
