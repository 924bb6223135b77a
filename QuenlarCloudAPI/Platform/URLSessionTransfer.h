// URLSessionTransfer: one task's HTTP exchange on the network thread: its curl easy handle, the
// request it sends, the response it parses, and the file it streams from or to.
//
// Internal to Platform/; used by URLSessionCore on its network thread only. Memory stays flat
// whatever the size: uploads read the file piece by piece, downloads gather pieces into blocks
// that go to disk as each fills, data tasks hand each piece to the delegate queue and stop reading
// while too many bytes wait there. A data or upload task's body stops at the session's maximum
// response data length: announced longer, it fails when its header fields are in; streamed longer,
// it fails at the piece that crosses the limit, which is not delivered. Progress events are spaced
// out (a few per megabyte or per tens of milliseconds), and the last one always carries the final
// totals.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/CurlHandle.h"
#include "QuenlarCloudAPI/Platform/HeaderFields.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/Platform/URLSessionBacklog.h"
#include "QuenlarCloudAPI/Platform/URLSessionDownloadFile.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

namespace tq::detail {

class URLSessionCore;

// The header fields of a response from its header lines as they arrived: folded lines joined,
// lines without a colon skipped.
HTTPHeaderFields parseHeaderLines(std::string_view lines);

// Spaces out progress events: one is due once enough bytes or enough time have passed since the
// last, or when the total reaches the expected size.
class ProgressThrottle {
 public:
  static constexpr int64_t kStepBytes = int64_t{256} << 10;
  static constexpr std::chrono::milliseconds kStepTime{50};

  // The bytes to report now (0 when nothing is due); `force` reports any unreported bytes.
  int64_t take(int64_t total, int64_t expected, bool force);

 private:
  int64_t reported_ = 0;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

class URLSessionTransfer {
 public:
  explicit URLSessionTransfer(URLSessionCore& core) : core_(core) {}
  // Closes the files and removes a download file that was never handed to the delegate.
  ~URLSessionTransfer();
  URLSessionTransfer(const URLSessionTransfer&) = delete;
  URLSessionTransfer& operator=(const URLSessionTransfer&) = delete;

  // Takes on the task's request. A new transfer makes and configures its easy handle; one that
  // served an earlier data task keeps that configuration and sets only what belongs to a request:
  // URL, header fields, method and body. `backlog` is the task's own and outlives the exchange.
  // An error means the task fails at once.
  std::optional<URLError> begin(std::shared_ptr<URLSessionTask> task, URLSessionTask::Kind kind,
                                const std::optional<URL>& uploadFile, URLSessionBacklog& backlog);
  // Forgets the exchange (files closed, task let go), after the handle has left the multi handle.
  void end();
  // Whether this transfer may serve another data task: only after a plain data task that
  // finished without error or pause, whose buffer sizes are those of every such task.
  bool reusable() const { return reusable_; }

  CURL* handle() const { return easy_.get(); }
  const std::shared_ptr<URLSessionTask>& task() const { return task_; }
  bool attached() const { return attached_; }
  void setAttached(bool attached) { attached_ = attached; }
  // The scheme, host and port whose connections the transfer uses. The key is the engine's own
  // (its host table entry outlives the transfer) and is not copied.
  const std::string& hostKey() const { return *hostKey_; }
  void setHostKey(const std::string& key) { hostKey_ = &key; }

  // curl is done with the transfer: posts the last progress and the downloaded file, and answers
  // the task's outcome (nullopt for success, whatever the status code).
  std::optional<URLError> finish(CURLcode result);

  // The delegate queue drained this task's pieces below the low mark: reading goes on.
  void drained();

 private:
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onWrite(char* data, size_t size, size_t count, void* self);
  static size_t onRead(char* buffer, size_t size, size_t count, void* self);
  static int onSeek(void* self, curl_off_t offset, int origin);
  static int onProgress(void* self, curl_off_t downloadTotal, curl_off_t downloaded,
                        curl_off_t uploadTotal, curl_off_t uploaded);

  // The options every exchange of this handle shares, set once when the handle is made.
  std::optional<URLError> configure();
  std::optional<URLError> buildHeaderList();
  std::optional<URLError> openUploadFile(const std::optional<URL>& file);
  std::optional<URLError> createDownloadFile();
  std::optional<URLError> setRequestBody(const std::optional<URL>& uploadFile);
  void resetRequestBody();
  size_t header(std::string_view line);
  size_t write(const char* data, size_t size);
  size_t writeToFile(const char* data, size_t size);
  size_t read(char* buffer, size_t size);
  // False when the answer announces a body longer than the task may deliver.
  bool headersComplete();
  // Whether this answer carries a body that counts against the maximum response data length.
  bool bodyIsCapped() const;
  void reportSent(int64_t total, bool force);
  void reportSentSoFar(bool force);
  void reportWritten(bool force);

  URLSessionCore& core_;
  CurlEasy easy_;
  // The handle carries options of an earlier request beyond a plain GET's (method, body,
  // progress callbacks) that the next request must clear.
  bool requestOptionsSet_ = false;
  // The URL set on the handle, kept alive so that the same object means the same text.
  std::shared_ptr<const URL> handleURL_;

  // The exchange under way; end() puts each back as it was.
  std::shared_ptr<URLSessionTask> task_;
  URLSessionTask::Kind kind_ = URLSessionTask::Kind::Data;
  URLSessionBacklog* backlog_ = nullptr;
  CurlSlist headerList_;
  bool attached_ = false;
  const std::string* hostKey_ = nullptr;

  // Request body.
  int uploadFile_ = -1;
  int64_t uploadSize_ = 0;
  int64_t uploadOffset_ = 0;
  int64_t bodySize_ = 0;
  ProgressThrottle sentProgress_;

  // Response.
  int statusCode_ = 0;
  std::string headerLines_;
  int64_t headerBytes_ = 0;
  int64_t received_ = 0;  // body bytes of a data or upload task handed to the delegate queue
  bool headersDone_ = false;
  bool paused_ = false;
  bool pausedOnce_ = false;
  bool reusable_ = false;

  // Download file.
  URLSessionDownloadFile downloadFile_;
  int64_t written_ = 0;
  int64_t expectedToWrite_ = -1;
  ProgressThrottle writtenProgress_;

  // Set by a callback that stopped the transfer on purpose, so curl's own code is not reported.
  std::optional<URLError> localError_;
};

}  // namespace tq::detail
