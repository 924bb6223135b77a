#include "QuenlarCloudAPI/Platform/URLSessionTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <exception>
#include <limits>
#include <string_view>
#include <utility>

#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/URLSessionCore.h"

namespace tq::detail {
namespace {

// Large reads keep throughput close to the wire's on big bodies; data tasks keep the pieces
// handed to the delegate moderate. curl allocates the receive buffer afresh for every transfer,
// and glibc sweeps its caches of small blocks whenever a block of 64 KiB or more is freed: at
// that size, a data task's buffer alone cost small requests a tenth of their throughput.
constexpr long kDownloadBufferSize = 512L << 10;
constexpr long kDataBufferSize = 32L << 10;
constexpr long kUploadBufferSize = 1L << 20;

// Header bytes accepted per response: far above any real answer, and a bound on what a hostile
// server can make us hold.
constexpr int64_t kMaxHeaderBytes = int64_t{1} << 20;

// Room for the header lines of a typical answer, made once rather than grown line by line.
constexpr size_t kExpectedHeaderBytes = 256;

// The platform gives up on a request after 60 seconds without a byte moving.
constexpr long kIdleTimeoutSeconds = 60;

bool isTokenChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte <= 0x20 || byte >= 0x7f) {
    return false;
  }
  return std::string_view("\"(),/:;<=>?@[\\]{}").find(c) == std::string_view::npos;
}

bool isValidFieldName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), isTokenChar);
}

bool isValidFieldValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// Methods whose requests carry a body by convention: without one they still say
// "Content-Length: 0", since servers may otherwise wait for a body that never comes.
bool methodExpectsBody(std::string_view method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

// curl's own additions that the platform does not send: a 100-continue handshake, a catch-all
// Accept, and a form Content-Type on every body.
constexpr std::array<const char*, 3> kSuppressedFields = {"Expect", "Accept", "Content-Type"};

// The header list of a request without fields of its own, built once for every transfer of the
// process (curl only reads it). Never freed, since a session's thread may still use it at exit;
// nullptr when it could not be built.
curl_slist* suppressionsOnly() {
  static curl_slist* const list = [] {
    CurlSlist built;
    for (const char* field : kSuppressedFields) {
      if (!curlSlistAppend(built, (std::string(field) + ":").c_str())) {
        return static_cast<curl_slist*>(nullptr);
      }
    }
    return built.release();
  }();
  return list;
}

// The body length a response's header lines announce: -1 when they announce none, a chunked
// coding overrides it, or its Content-Length is not one well-formed number; INT64_MAX for a number
// too large to hold, which is longer than any limit.
int64_t announcedBodyLength(std::string_view lines) {
  std::optional<std::string_view> length;
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || line.front() == ' ' || line.front() == '\t') {
      continue;
    }
    const std::string_view name = trim(line.substr(0, colon));
    if (headerNameEquals(name, "Transfer-Encoding")) {
      return -1;
    }
    if (headerNameEquals(name, "Content-Length")) {
      if (length) {
        return -1;  // repeated: which one holds is anybody's guess, so the body is counted instead
      }
      length = trim(line.substr(colon + 1));
    }
  }
  if (!length || length->empty()) {
    return -1;
  }
  int64_t value = -1;
  const char* last = length->data() + length->size();
  const auto [stop, error] = std::from_chars(length->data(), last, value);
  if (stop != last || (error != std::errc() && error != std::errc::result_out_of_range)) {
    return -1;
  }
  if (length->front() == '-') {
    return -1;
  }
  return error == std::errc() ? value : std::numeric_limits<int64_t>::max();
}

void closeFile(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

int64_t ProgressThrottle::take(int64_t total, int64_t expected, bool force) {
  const int64_t pending = total - reported_;
  if (pending <= 0) {
    return 0;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!force && pending < kStepBytes && now - last_ < kStepTime && total != expected) {
    return 0;
  }
  reported_ = total;
  last_ = now;
  return pending;
}

URLSessionTransfer::~URLSessionTransfer() { end(); }

std::optional<URLError> URLSessionTransfer::begin(std::shared_ptr<URLSessionTask> task,
                                                  URLSessionTask::Kind kind,
                                                  const std::optional<URL>& uploadFile,
                                                  URLSessionBacklog& backlog) {
  task_ = std::move(task);
  kind_ = kind;
  backlog_ = &backlog;
  sentProgress_ = ProgressThrottle();
  writtenProgress_ = ProgressThrottle();
  const URLRequest& request = task_->originalRequest();
  if (!request.url()) {
    return URLError(URLError::BadURL);
  }
  const URL& url = *request.url();
  if (url.scheme() != "http" && url.scheme() != "https") {
    return URLError(URLError::UnsupportedURL);
  }
  if (!easy_) {
    easy_.reset(curl_easy_init());
    if (!easy_) {
      return URLError(URLError::Unknown);
    }
    if (auto error = configure()) {
      return error;
    }
  }
  if (auto error = buildHeaderList()) {
    return error;
  }
  if (kind_ == URLSessionTask::Kind::Download) {
    if (auto error = createDownloadFile()) {
      return error;
    }
  }
  if (auto error = setRequestBody(uploadFile)) {
    return error;
  }
  // Requests made from one request value share its URL: a handle passed from one to the next
  // keeps it.
  if (auto shared = request.sharedURL(); shared != handleURL_) {
    curl_easy_setopt(easy_.get(), CURLOPT_URL, url.absoluteString().c_str());
    handleURL_ = std::move(shared);
  }
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::configure() {
  CURL* easy = easy_.get();
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  if (curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK) {
    return URLError(URLError::Unknown);
  }
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLSessionTransfer::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLSessionTransfer::onWrite);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  // Ours on every handle: a request without a file to send reads an empty body from it, so curl
  // never falls back to reading standard input.
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &URLSessionTransfer::onRead);
  curl_easy_setopt(easy, CURLOPT_READDATA, this);
  curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &URLSessionTransfer::onSeek);
  curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLSessionTransfer::onProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kIdleTimeoutSeconds);
  // A handle serves one kind of task for its whole life (only data tasks pass handles on), so its
  // buffer sizes are set once.
  const bool download = kind_ == URLSessionTask::Kind::Download;
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, download ? kDownloadBufferSize : kDataBufferSize);
  if (kind_ == URLSessionTask::Kind::Upload) {
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
  }
  return std::nullopt;
}

void URLSessionTransfer::end() {
  closeFile(uploadFile_);
  downloadFile_.discard();
  task_.reset();
  backlog_ = nullptr;
  headerList_.reset();
  attached_ = false;
  hostKey_ = nullptr;
  uploadSize_ = 0;
  uploadOffset_ = 0;
  bodySize_ = 0;
  statusCode_ = 0;
  headerLines_.clear();
  headerBytes_ = 0;
  headersDone_ = false;
  received_ = 0;
  paused_ = false;
  pausedOnce_ = false;
  reusable_ = false;
  written_ = 0;
  expectedToWrite_ = -1;
  localError_.reset();
}

std::optional<URLError> URLSessionTransfer::buildHeaderList() {
  const URLRequest& request = task_->originalRequest();
  if (request.allHTTPHeaderFields().empty()) {
    if (curl_slist* shared = suppressionsOnly()) {
      curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, shared);
      return std::nullopt;
    }
  }
  for (const auto& [name, value] : request.allHTTPHeaderFields()) {
    if (!isValidFieldName(name) || !isValidFieldValue(value)) {
      // A line break in a field would let its text forge further fields or a second request.
      return URLError(URLError::Unknown, "The request has a malformed header field.");
    }
    // "Name;" is how curl sends a field with an empty value ("Name:" would remove it).
    std::string line = name;
    if (value.empty()) {
      line += ';';
    } else {
      line += ": ";
      line += value;
    }
    if (!curlSlistAppend(headerList_, line.c_str())) {
      return URLError(URLError::Unknown);
    }
  }
  for (const char* field : kSuppressedFields) {
    if (!request.valueForHTTPHeaderField(field)) {
      const std::string removal = std::string(field) + ":";
      if (!curlSlistAppend(headerList_, removal.c_str())) {
        return URLError(URLError::Unknown);
      }
    }
  }
  curl_easy_setopt(easy_.get(), CURLOPT_HTTPHEADER, headerList_.get());
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::openUploadFile(const std::optional<URL>& file) {
  if (!file || !file->isFileURL()) {
    return URLError(URLError::FileDoesNotExist);
  }
  const std::string path = file->path();
  if (path.find('\0') != std::string::npos) {
    // No file has such a name; open() would read the path only up to the NUL, a different file.
    return URLError(URLError::FileDoesNotExist);
  }
  uploadFile_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (uploadFile_ < 0) {
    return URLError(errno == ENOENT || errno == ENOTDIR ? URLError::FileDoesNotExist
                                                        : URLError::NoPermissionsToReadFile);
  }
  struct stat info {};
  if (::fstat(uploadFile_, &info) != 0) {
    return URLError(URLError::NoPermissionsToReadFile);
  }
  if (S_ISDIR(info.st_mode)) {
    return URLError(URLError::FileIsDirectory);
  }
  if (!S_ISREG(info.st_mode)) {
    return URLError(URLError::NoPermissionsToReadFile);
  }
  uploadSize_ = info.st_size;
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::createDownloadFile() {
  if (!downloadFile_.create(Environment::temporaryDirectory())) {
    return URLError(URLError::CannotCreateFile);
  }
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::setRequestBody(const std::optional<URL>& uploadFile) {
  CURL* easy = easy_.get();
  const URLRequest& request = task_->originalRequest();
  const std::string& method = request.HTTPMethod();
  if (method.empty() || !std::all_of(method.begin(), method.end(), isTokenChar)) {
    return URLError(URLError::Unknown, "The request's HTTP method is malformed.");
  }
  if (requestOptionsSet_) {
    resetRequestBody();
  }
  // The method curl would use on its own for the body options below.
  std::string_view impliedMethod = "GET";
  if (kind_ == URLSessionTask::Kind::Upload) {
    if (auto error = openUploadFile(uploadFile)) {
      return error;
    }
    // POST mechanics with a read callback send any method with a Content-Length and no
    // chunked coding.
    bodySize_ = uploadSize_;
    impliedMethod = "POST";
    requestOptionsSet_ = true;
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(uploadSize_));
  } else if (method == "HEAD") {
    impliedMethod = "HEAD";
    requestOptionsSet_ = true;
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (request.HTTPBody() || methodExpectsBody(method)) {
    // Without POSTFIELDS, a POST would read its body through the read callback.
    static const char kEmpty[] = "";
    const auto& body = request.HTTPBody();
    bodySize_ = body ? static_cast<int64_t>(body->size()) : 0;
    impliedMethod = "POST";
    requestOptionsSet_ = true;
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodySize_));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body ? body->data() : kEmpty);
  }
  if (method != impliedMethod) {
    requestOptionsSet_ = true;
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  if (bodySize_ > 0) {
    requestOptionsSet_ = true;
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  }
  return std::nullopt;
}

void URLSessionTransfer::resetRequestBody() {
  CURL* easy = easy_.get();
  curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
  // Clearing the body pointer makes the handle a POST again; HTTPGET then takes it back to a
  // plain GET, and clears NOBODY and UPLOAD with it.
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(-1));
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 1L);
  requestOptionsSet_ = false;
}

std::optional<URLError> URLSessionTransfer::finish(CURLcode result) {
  std::optional<URLError> outcome = localError_;
  if (!outcome && result != CURLE_OK) {
    outcome = URLError::fromCurlCode(result);
  }
  if (outcome) {
    return outcome;
  }
  reusable_ = kind_ == URLSessionTask::Kind::Data && !pausedOnce_;
  reportSentSoFar(true);
  if (kind_ == URLSessionTask::Kind::Download) {
    reportWritten(true);
    auto finished = downloadFile_.finish();
    if (!finished) {
      return URLError(URLError::CannotWriteToFile);
    }
    core_.post(task_, {.kind = URLSessionEvent::Kind::Downloaded,
                       .bytes = std::move(finished->path),
                       .fileLock = std::move(finished->lock)});
  }
  return std::nullopt;
}

void URLSessionTransfer::drained() {
  if (paused_ && attached_) {
    paused_ = false;
    // curl may deliver the held piece right here, through onWrite.
    curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
  }
}

size_t URLSessionTransfer::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<URLSessionTransfer*>(self);
  try {
    return transfer->header(std::string_view(data, size * count));
  } catch (const std::exception&) {
    transfer->localError_ = URLError(URLError::Unknown);
    return 0;
  }
}

size_t URLSessionTransfer::header(std::string_view line) {
  const size_t consumed = line.size();
  headerBytes_ += static_cast<int64_t>(consumed);
  if (headerBytes_ > kMaxHeaderBytes) {
    localError_ = URLError(URLError::BadServerResponse);
    return 0;
  }
  if (line.substr(0, 5) == "HTTP/") {
    // A new status line: after an informational answer (or a retry), everything starts over.
    const auto space = line.find(' ');
    int status = 0;
    if (space != std::string_view::npos) {
      const auto digits = line.substr(space + 1, 3);
      std::from_chars(digits.data(), digits.data() + digits.size(), status);
    }
    statusCode_ = status;
    headerLines_.clear();
    headersDone_ = false;
    return consumed;
  }
  if (headersDone_) {
    return consumed;  // trailers of a chunked body
  }
  if (trim(line).empty()) {
    if (statusCode_ >= 200 || statusCode_ < 100) {
      headersDone_ = true;
      if (!headersComplete()) {
        return 0;
      }
    }
    return consumed;
  }
  if (headerLines_.empty()) {
    headerLines_.reserve(kExpectedHeaderBytes);
  }
  headerLines_.append(line);
  return consumed;
}

bool URLSessionTransfer::headersComplete() {
  reportSentSoFar(true);
  const int64_t announced = bodyIsCapped() ? announcedBodyLength(headerLines_) : -1;
  // The response goes to the delegate even when its body is refused, so that the failure comes
  // with the status and header fields that explain it.
  expectedToWrite_ = core_.postResponse(task_, statusCode_, std::exchange(headerLines_, {}));
  if (kind_ == URLSessionTask::Kind::Download) {
    downloadFile_.expect(expectedToWrite_);
  }
  if (announced > core_.maximumResponseDataLength()) {
    localError_ = URLError(URLError::DataLengthExceedsMaximum);
    return false;
  }
  return true;
}

bool URLSessionTransfer::bodyIsCapped() const {
  if (kind_ == URLSessionTask::Kind::Download) {
    return false;
  }
  // curl reads no body after these, whatever length they announce. An upload sends HEAD as a
  // method of its own, after which curl does read a body.
  const bool head =
      kind_ == URLSessionTask::Kind::Data && task_->originalRequest().HTTPMethod() == "HEAD";
  return !head && statusCode_ != 204 && statusCode_ != 304;
}

HTTPHeaderFields parseHeaderLines(std::string_view lines) {
  HTTPHeaderFields fields;
  fields.reserve(static_cast<size_t>(std::count(lines.begin(), lines.end(), '\n')));
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    const std::string_view content = trim(line);
    if (content.empty()) {
      continue;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !fields.empty()) {
      auto& value = fields.back().second;
      value += ' ';
      value += content;
      continue;
    }
    const auto colon = content.find(':');
    if (colon == std::string_view::npos) {
      continue;
    }
    fields.emplace_back(std::string(trim(content.substr(0, colon))),
                        std::string(trim(content.substr(colon + 1))));
  }
  return fields;
}

size_t URLSessionTransfer::onWrite(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<URLSessionTransfer*>(self);
  try {
    return transfer->write(data, size * count);
  } catch (const std::exception&) {
    transfer->localError_ = URLError(URLError::Unknown);
    return 0;
  }
}

size_t URLSessionTransfer::write(const char* data, size_t size) {
  if (kind_ == URLSessionTask::Kind::Download) {
    return writeToFile(data, size);
  }
  if (static_cast<int64_t>(size) > core_.maximumResponseDataLength() - received_) {
    // Answering less than the piece makes curl abandon the transfer and its connection.
    localError_ = URLError(URLError::DataLengthExceedsMaximum);
    return 0;
  }
  if (backlog_->full()) {
    paused_ = true;
    pausedOnce_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (size == 0) {
    return 0;
  }
  received_ += static_cast<int64_t>(size);
  backlog_->add(size);
  core_.post(task_, {.kind = URLSessionEvent::Kind::Data, .bytes = std::string(data, size)});
  return size;
}

size_t URLSessionTransfer::writeToFile(const char* data, size_t size) {
  if (!downloadFile_.append(data, size)) {
    localError_ = URLError(URLError::CannotWriteToFile);
    return 0;
  }
  // Progress counts the bytes the file has taken, held or written: their cadence follows the
  // body, not the blocks.
  written_ += static_cast<int64_t>(size);
  reportWritten(false);
  return size;
}

size_t URLSessionTransfer::onRead(char* buffer, size_t size, size_t count, void* self) {
  return static_cast<URLSessionTransfer*>(self)->read(buffer, size * count);
}

size_t URLSessionTransfer::read(char* buffer, size_t size) {
  const int64_t remaining = uploadSize_ - uploadOffset_;
  if (remaining <= 0) {
    return 0;
  }
  const size_t want = static_cast<size_t>(std::min<int64_t>(remaining, static_cast<int64_t>(size)));
  ssize_t n = 0;
  do {
    n = ::pread(uploadFile_, buffer, want, static_cast<off_t>(uploadOffset_));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    // Unreadable, or shorter than it was when the upload started.
    localError_ = URLError(URLError::Unknown, "The file to send could not be read to its end.");
    return CURL_READFUNC_ABORT;
  }
  uploadOffset_ += n;
  return static_cast<size_t>(n);
}

int URLSessionTransfer::onSeek(void* self, curl_off_t offset, int origin) {
  auto* transfer = static_cast<URLSessionTransfer*>(self);
  if (origin != SEEK_SET || offset < 0 || offset > transfer->uploadSize_) {
    return CURL_SEEKFUNC_CANTSEEK;
  }
  transfer->uploadOffset_ = offset;
  return CURL_SEEKFUNC_OK;
}

int URLSessionTransfer::onProgress(void* self, curl_off_t /*downloadTotal*/,
                                   curl_off_t /*downloaded*/, curl_off_t /*uploadTotal*/,
                                   curl_off_t uploaded) {
  auto* transfer = static_cast<URLSessionTransfer*>(self);
  try {
    transfer->reportSent(uploaded, false);
  } catch (const std::exception&) {
    // A progress event lost to memory pressure is not worth failing the transfer for.
  }
  return 0;
}

void URLSessionTransfer::reportSent(int64_t total, bool force) {
  if (bodySize_ <= 0) {
    return;
  }
  total = std::min(total, bodySize_);
  if (const int64_t step = sentProgress_.take(total, bodySize_, force); step > 0) {
    core_.post(
        task_,
        {.kind = URLSessionEvent::Kind::Sent, .step = step, .total = total, .expected = bodySize_});
  }
}

void URLSessionTransfer::reportSentSoFar(bool force) {
  if (bodySize_ <= 0) {
    return;
  }
  curl_off_t uploaded = 0;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded) == CURLE_OK) {
    reportSent(uploaded, force);
  }
}

void URLSessionTransfer::reportWritten(bool force) {
  if (const int64_t step = writtenProgress_.take(written_, expectedToWrite_, force); step > 0) {
    core_.post(task_, {.kind = URLSessionEvent::Kind::Written,
                       .step = step,
                       .total = written_,
                       .expected = expectedToWrite_});
  }
}

}  // namespace tq::detail
