// The test server's record of the requests it received. A request is logged once its body has
// arrived (or the client gave up sending it) and before it is answered, so entries are in the
// order the bodies finished arriving, and a held request is already in the log.
//
// Promises: every member is safe to call from several threads at once; snapshots are copies.
// Memory is bounded per entry (at most kLoggedBodyLimit bytes of body text); the number of entries
// grows until clear(), so long benchmarks clear the log now and then.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testserver {

// Bodies longer than this are hashed and counted but not kept as text in the log (nor in the
// httplib::Request a route handler gets).
inline constexpr int64_t kLoggedBodyLimit = int64_t{1} << 20;
// Route handlers see bodies up to this size through TestServer::currentBody().
inline constexpr int64_t kHandlerBodyLimit = int64_t{16} << 20;

struct LoggedRequest {
  std::string method;  // "GET", "POST", ...
  std::string target;  // the request target exactly as sent, e.g. "/a%20b?x=1&y=%26"
  std::string path;    // the decoded path of the target
  // The headers as received, repeated ones kept. The HTTP parser files them by name (compared
  // without case), so the order is by name, and in arrival order among headers of one name.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;          // the whole body when at most kLoggedBodyLimit bytes, else empty
  int64_t bodyLength = 0;    // bytes of body received
  std::string bodySha256;    // lowercase hex SHA-256 of the bytes received, for any length
  bool bodyComplete = true;  // false when the client stopped sending before the body's end

  // The value of the first header with that name (compared without case), if any.
  std::optional<std::string> header(std::string_view name) const;
  size_t headerCount(std::string_view name) const;
};

class RequestLog {
 public:
  RequestLog() = default;
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  void append(LoggedRequest request);
  std::vector<LoggedRequest> snapshot() const;
  std::vector<LoggedRequest> snapshot(const std::string& path) const;
  void clear();
  // Waits until the log holds at least n entries; false on time-out.
  bool waitForSize(size_t n, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable grew_;
  std::vector<LoggedRequest> entries_;
};

}  // namespace testserver
