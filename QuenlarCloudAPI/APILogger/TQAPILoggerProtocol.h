// TQAPILoggerProtocol: what a logger of the request pipeline implements. TQAPILogger hands each
// pipeline notification to every logger it holds; the host may add loggers of its own.
//
// The hub calls these from the thread that posts the notifications (the main queue), and may call
// one logger from several threads when a host posts elsewhere: implementations guard their own
// state. A logger must not write credentials (see TQAPILogRedaction.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

// The levels are exclusive, not cumulative: each level writes its own kind of line, and a value
// outside them writes nothing.
enum TQAPILogLevel : int32_t {
  TQAPILogLevelInfo = 0,  // the default
  TQAPILogLevelDebug = 1,
  TQAPILogLevelError = 2,
};

class TQAPILoggerProtocol {
 public:
  virtual ~TQAPILoggerProtocol() = default;

  // A call object has started `task`.
  virtual void URLSessionTaskDidStart(const std::shared_ptr<tq::URLSessionTask>& task) = 0;

  // A call object has delivered its outcome for `task`: the call's outcome (nullptr when the
  // notification carried none) and the task's error.
  virtual void URLSessionTaskDidFinish(const std::shared_ptr<tq::URLSessionTask>& task,
                                       const std::shared_ptr<TQAPIQueryResponse>& responseObject,
                                       const std::optional<tq::URLError>& error) = 0;

  // A message was posted ("API started: ...", "API released: ...").
  virtual void messageLogger(std::string_view message) = 0;

  virtual int32_t logLevel() const = 0;
  virtual void setLogLevel(int32_t logLevel) = 0;

 protected:
  TQAPILoggerProtocol() = default;
  TQAPILoggerProtocol(const TQAPILoggerProtocol&) = default;
  TQAPILoggerProtocol& operator=(const TQAPILoggerProtocol&) = default;
};
