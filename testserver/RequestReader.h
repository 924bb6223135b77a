// Reads a request as the test server logs it and hands it to a route: the body is hashed as it
// streams in and kept only within bounds.
//
// Bodies of at most kLoggedBodyLimit bytes are kept as text; larger ones up to kHandlerBodyLimit
// go to a MappedBuffer of their own; larger ones still are only counted and hashed.
#pragma once

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "testserver/MappedBuffer.h"
#include "testserver/RequestLog.h"

namespace testserver {

struct ReceivedRequest {
  LoggedRequest entry;     // as logged: body text only up to kLoggedBodyLimit
  MappedBuffer largeBody;  // bodies above kLoggedBodyLimit, up to kHandlerBodyLimit

  // The whole body when at most kHandlerBodyLimit bytes, else empty.
  std::string_view body() const { return entry.body.empty() ? largeBody.view() : entry.body; }
};

// Reads the request's body through `reader` (or takes Request::body when reader is null) and
// fills the log entry. Gives up reading once `stopping` is set, or once `stopAfterBytes` (when not
// negative) bytes have arrived; the entry is then incomplete.
ReceivedRequest readRequest(const httplib::Request& request, const httplib::ContentReader* reader,
                            const std::atomic<bool>& stopping, int64_t stopAfterBytes = -1);

}  // namespace testserver
