// TQAPIConsoleLogger: the logger the library brings. It writes lines of the form "[LEVEL] text"
// with the level words "INFO", "DEBUG" and "ERROR" to the system log (tq::systemLog, whose sink
// the host may replace), or to a sink the host sets on this logger. It never writes to standard
// output, which belongs to the host.
//
// Level 0 (info) writes each call's method, URL and status; level 1 (debug) its headers, request
// body and JSON answer; level 2 (error) only failed transfers, which every level writes. It never
// writes credentials: secret headers are left out, secret parameters and user information
// redacted (TQAPILogRedaction.h), and the answers of the token endpoint are never written at all.
// A JSON body nested deeper than the library accepts is written as "<body not shown>".
// Safe from any thread: the lines of one event are written together, never interleaved with
// another event's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/APILogger/TQAPILoggerProtocol.h"
#include "QuenlarCloudAPI/Platform/HeaderFields.h"

// The part of the token endpoint's URL whose answers are never written.
inline constexpr const char* removeSecurityResponseIdentifier = "/cloud/1/oauth2/token";

// Receives one line, without its line break. Called under the logger's lock: it must not call
// back into the logger.
using TQAPIConsoleLoggerSink = std::function<void(std::string_view line)>;

class TQAPIConsoleLogger : public TQAPILoggerProtocol {
 public:
  // Level 0, writing to the system log.
  TQAPIConsoleLogger() = default;
  TQAPIConsoleLogger(const TQAPIConsoleLogger&) = delete;
  TQAPIConsoleLogger& operator=(const TQAPIConsoleLogger&) = delete;

  void URLSessionTaskDidStart(const std::shared_ptr<tq::URLSessionTask>& task) override;
  void URLSessionTaskDidFinish(const std::shared_ptr<tq::URLSessionTask>& task,
                               const std::shared_ptr<TQAPIQueryResponse>& responseObject,
                               const std::optional<tq::URLError>& error) override;
  void messageLogger(std::string_view message) override;

  int32_t logLevel() const override { return logLevel_.load(); }
  void setLogLevel(int32_t logLevel) override { logLevel_.store(logLevel); }

  // Where lines go; an empty sink restores the system log.
  void setSink(TQAPIConsoleLoggerSink sink);

  // One "\nkey = K value = V" line per header field, in order, leaving out secret headers in any
  // letter case and redacting secret parameters in values; empty text for no fields.
  static std::string logHeader(const tq::HTTPHeaderFields& headers);

 private:
  void write(const std::vector<std::string>& lines);

  std::atomic<int32_t> logLevel_{TQAPILogLevelInfo};
  std::mutex mutex_;
  TQAPIConsoleLoggerSink sink_;  // guarded by mutex_
};
