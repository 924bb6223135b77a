#include "QuenlarCloudAPI/Platform/URLSessionBacklog.h"

namespace tq::detail {

bool URLSessionBacklog::full() {
  if (queued_.load() < kHigh) {
    return false;
  }
  // Announced before looking again, so that a delegate queue settling at this very moment either
  // sees the flag (and answers true) or left enough room for the transfer to go on.
  stopped_.store(true);
  if (queued_.load() >= kHigh) {
    return true;
  }
  stopped_.store(false);
  return false;
}

bool URLSessionBacklog::settle(size_t size) {
  const auto bytes = static_cast<int64_t>(size);
  const int64_t left = queued_.fetch_sub(bytes) - bytes;
  return left < kLow && stopped_.exchange(false);
}

}  // namespace tq::detail
