// Answer: one scripted reply of the test server (see TestServer::script and scriptOnce).
//
// What goes on the wire:
// - `headers` are sent as given, repeated names included. Without a Content-Type among them, a
//   plain body goes out as application/json (the service speaks JSON) and a streamed one as
//   application/octet-stream.
// - The body is `body`, or the concatenation of `pieces` (each piece is one write on the socket;
//   chunked transfer splits pieces above 64 KiB), or `generatedBodySize` bytes of the pattern of
//   Pattern.h, produced as they are sent. Pieces win over `body`, a generated body over both.
// - sendContentLength = false streams the body with chunked transfer encoding and no
//   Content-Length (a plain non-empty body then goes out as one chunk).
// - The server waits `delay`, then for `holdUntil` to open, then answers. Both end early when the
//   server stops, so a held answer never blocks shutdown.
// - closeAbruptly: with pieces, the status line, the headers (announcing the whole length) and
//   every piece but the last are sent, then the connection is closed; with a generated body, the
//   first half of it (rounded down) is sent, then the connection is closed; otherwise the
//   connection is closed before a single byte of the answer, so the client reads end-of-stream
//   where it expects a status line. Closed connections are not reused.
// - dropAfterBodyBytes >= 0 (scripts only): the server reads that many bytes of the request's body
//   (all of it when it is shorter), then shuts the connection down without answering, so a
//   client that is still sending sees the connection drop mid-body. The request is logged with
//   bodyComplete false. Every other field is then ignored.
// An Answer is a plain aggregate: write `Answer{.status = 503, .body = "{}"}`.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testserver/Gate.h"

namespace testserver {

struct Answer {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::vector<std::string> pieces;
  int64_t generatedBodySize = -1;
  bool sendContentLength = true;
  std::chrono::milliseconds delay{0};
  std::shared_ptr<Gate> holdUntil;
  bool closeAbruptly = false;
  int64_t dropAfterBodyBytes = -1;
};

}  // namespace testserver
