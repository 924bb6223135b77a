#include "QuenlarCloudAPI/Platform/URLSessionGate.h"

#include <utility>

namespace tq::detail {

void URLSessionGate::beginAsking() { state_.store(State::Asking); }

bool URLSessionGate::endAsking() {
  auto expected = State::Asking;
  if (state_.compare_exchange_strong(expected, State::Waiting)) {
    closed_ = true;
    return false;
  }
  return true;
}

URLSessionGate::Answer URLSessionGate::answer(bool allow) {
  const State answered = allow ? State::Allowed : State::Refused;
  State seen = state_.load();
  // The asker may move Asking to Waiting between our look and our write: look again then.
  while (seen == State::Asking || seen == State::Waiting) {
    if (state_.compare_exchange_weak(seen, answered)) {
      return seen == State::Asking ? Answer::Inline : Answer::Later;
    }
  }
  return Answer::Ignored;
}

std::vector<URLSessionEvent> URLSessionGate::open() {
  closed_ = false;
  return std::exchange(parked_, {});
}

}  // namespace tq::detail
