// Turns a scripted Answer into an httplib response (the waiting for `delay` and `holdUntil` is
// the server's part). Streamed bodies are produced piece by piece as the socket takes them, so a
// generated body of any size costs one buffer of at most 1 MiB.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>

#include "testserver/Answer.h"

namespace testserver {

// Fills `response` from `answer`. Content providers keep `keepAlive` until the response is done
// with them, and give up (closing the connection) once `stopping` is set; `stopping` must outlive
// the response. An abrupt close before any answer shuts the connection down here.
void writeAnswer(const Answer& answer, const httplib::Request& request, httplib::Response& response,
                 const std::shared_ptr<const void>& keepAlive, const std::atomic<bool>& stopping);

}  // namespace testserver
