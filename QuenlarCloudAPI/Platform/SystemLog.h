// The system log: one replaceable line sink, standing in for the platform's system log.
//
// The library writes here what must never reach a host's loggers ("FATEL" lines about bad
// parameters, exceptions caught on a queue), and the console logger writes its lines here unless
// the host gives it a sink of its own. The default sink writes each line to stderr, never to
// stdout, which belongs to the host.
// Safe from any thread; the sink is called under a lock, so lines never interleave.
#pragma once

#include <functional>
#include <string_view>

namespace tq {

using SystemLogSink = std::function<void(std::string_view line)>;

// Writes one line (without a trailing newline) to the current sink.
void systemLog(std::string_view line);

// Replaces the sink; an empty function restores the default. Returns the previous sink.
SystemLogSink setSystemLogSink(SystemLogSink sink);

}  // namespace tq
