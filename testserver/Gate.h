// Gate: a one-shot latch that a test opens to release the answers the test server is holding.
//
// Promises:
// - Once open, a gate stays open; open() may be called any number of times, from any thread.
// - waitOpen() returns true as soon as the gate is open, false when the time-out passes first.
// - waiters() is the number of threads inside waitOpen() right now, so a test can wait with
//   waitForWaiters() until a given number of requests are being held (to count connections that
//   are open at the same moment) without sleeping.
// Every member is safe to call from several threads at once. Gates are shared through
// std::shared_ptr between the test and the server; copying one would split the latch, so it is
// not copyable.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace testserver {

class Gate {
 public:
  Gate() = default;
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;

  void open();
  bool isOpen() const;
  bool waitOpen(std::chrono::milliseconds timeout);

  size_t waiters() const;
  // Waits until at least n threads are waiting on the gate; false on time-out.
  bool waitForWaiters(size_t n, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool open_ = false;
  size_t waiters_ = 0;
};

}  // namespace testserver
