// URLSessionGate: holds a data task's later events back on the delegate queue while the delegate
// has not yet answered its response's disposition.
//
// Internal to Platform/. The network thread never holds anything back: it posts response, body
// pieces and completion in order, and the gate parks what follows the response until the answer.
// In the usual case the delegate answers inside didReceiveResponse and nothing is ever parked.
// Threads: answer() from any thread; everything else on the delegate queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "QuenlarCloudAPI/Platform/URLSessionEvent.h"

namespace tq::detail {

class URLSessionGate {
 public:
  enum class Answer {
    Ignored,  // not the first answer, or no question asked
    Inline,   // given while the delegate was still being asked: the asker goes on at once
    Later,    // given after the gate closed: whoever answered must have it opened
  };

  // Delegate queue, just before didReceiveResponse.
  void beginAsking();
  // Delegate queue, once didReceiveResponse has returned: true when the answer came meanwhile;
  // false closes the gate until open().
  bool endAsking();
  // Any thread. Only the first answer counts.
  Answer answer(bool allow);

  // Delegate queue.
  bool isClosed() const { return closed_; }
  void park(URLSessionEvent event) { parked_.push_back(std::move(event)); }
  // Opens the gate and hands back the events it held, in the order they came.
  std::vector<URLSessionEvent> open();

 private:
  enum class State : uint8_t { Idle, Asking, Waiting, Allowed, Refused };

  std::atomic<State> state_{State::Idle};
  bool closed_ = false;
  std::vector<URLSessionEvent> parked_;
};

}  // namespace tq::detail
