// URLSessionEvent: one delegate event of a task, as the network thread hands it to the delegate
// queue: a plain record rather than a closure, so that a burst of events costs one vector.
//
// Internal to Platform/. The task it belongs to travels beside it (URLSessionTaskEvent) except
// where the task itself holds the event, behind its gate.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/FileSystem.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

namespace tq {
class URLSessionTask;
}

namespace tq::detail {

struct URLSessionEvent {
  enum class Kind : uint8_t { Sent, Response, Data, Written, Downloaded, Complete };

  Kind kind = Kind::Complete;
  // Sent and Written: the bytes of this step, the total so far and the total expected.
  int64_t step = 0;
  int64_t total = 0;
  int64_t expected = 0;
  int statusCode = 0;  // Response
  // Data: the piece; Downloaded: the file's path; Response: the header lines as they arrived
  // (the response is made on the delegate queue, off the network thread's hot path).
  std::string bytes{};
  std::optional<URLError> error{};  // Complete: nullopt for success
  // Downloaded: keeps the file locked until the event, and with it the file, is gone.
  std::shared_ptr<const FileDescriptor> fileLock{};
};

struct URLSessionTaskEvent {
  std::shared_ptr<URLSessionTask> task;
  URLSessionEvent event;
};

}  // namespace tq::detail
