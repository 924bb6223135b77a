#include "QuenlarCloudAPI/Platform/URLSessionTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>

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

// Room for the header fields of a typical answer, made once rather than grown field by field.
constexpr size_t kExpectedHeaderFields = 8;

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

URLSessionTransfer::URLSessionTransfer(URLSessionCore& core, std::shared_ptr<URLSessionTask> task)
    : core_(core), task_(std::move(task)) {}

URLSessionTransfer::~URLSessionTransfer() {
  closeFile(uploadFile_);
  closeFile(downloadFile_);
  if (!downloadPath_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(downloadPath_, ignored);
  }
}

std::optional<URLError> URLSessionTransfer::prepare(CurlEasy reused) {
  const URLRequest& request = task_->request_;
  if (!request.url()) {
    return URLError(URLError::BadURL);
  }
  const URL& url = *request.url();
  if (url.scheme() != "http" && url.scheme() != "https") {
    return URLError(URLError::UnsupportedURL);
  }
  easy_ = reused ? std::move(reused) : CurlEasy(curl_easy_init());
  if (!easy_) {
    return URLError(URLError::Unknown);
  }
  if (auto error = buildHeaderList()) {
    return error;
  }
  if (task_->kind_ == URLSessionTask::Kind::Download) {
    if (auto error = createDownloadFile()) {
      return error;
    }
  }
  if (auto error = setRequestBody()) {
    return error;
  }
  CURL* easy = easy_.get();
  curl_easy_setopt(easy, CURLOPT_URL, url.absoluteString().c_str());
  curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLSessionTransfer::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLSessionTransfer::onWrite);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kIdleTimeoutSeconds);
  setBufferSizes();
  if (bodySize_ > 0) {
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLSessionTransfer::onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  }
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::buildHeaderList() {
  const URLRequest& request = task_->request_;
  if (request.allHTTPHeaderFields().empty()) {
    if (curl_slist* shared = suppressionsOnly()) {
      headers_ = shared;
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
  headers_ = headerList_.get();
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::openUploadFile() {
  const std::string path = task_->uploadFile_ ? task_->uploadFile_->path() : std::string();
  if (!task_->uploadFile_ || !task_->uploadFile_->isFileURL()) {
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
  std::string path = (Environment::temporaryDirectory() / "URLSessionDownload-XXXXXX").string();
  downloadFile_ = ::mkostemp(path.data(), O_CLOEXEC);
  if (downloadFile_ < 0) {
    return URLError(URLError::CannotCreateFile);
  }
  downloadPath_ = std::move(path);
  return std::nullopt;
}

std::optional<URLError> URLSessionTransfer::setRequestBody() {
  CURL* easy = easy_.get();
  const URLRequest& request = task_->request_;
  const std::string& method = request.HTTPMethod();
  if (method.empty() || !std::all_of(method.begin(), method.end(), isTokenChar)) {
    return URLError(URLError::Unknown, "The request's HTTP method is malformed.");
  }
  // The method curl would use on its own for the body options below.
  std::string_view impliedMethod = "GET";
  if (task_->kind_ == URLSessionTask::Kind::Upload) {
    if (auto error = openUploadFile()) {
      return error;
    }
    // POST mechanics with a read callback send any method with a Content-Length and no
    // chunked coding.
    bodySize_ = uploadSize_;
    impliedMethod = "POST";
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(uploadSize_));
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &URLSessionTransfer::onRead);
    curl_easy_setopt(easy, CURLOPT_READDATA, this);
    curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &URLSessionTransfer::onSeek);
    curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
  } else if (method == "HEAD") {
    impliedMethod = "HEAD";
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (request.HTTPBody() || methodExpectsBody(method)) {
    // Without POSTFIELDS, a POST would make curl read its body from standard input.
    static const char kEmpty[] = "";
    const auto& body = request.HTTPBody();
    bodySize_ = body ? static_cast<int64_t>(body->size()) : 0;
    impliedMethod = "POST";
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodySize_));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body ? body->data() : kEmpty);
  }
  if (method != impliedMethod) {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
  return std::nullopt;
}

CurlEasy URLSessionTransfer::releaseHandle() {
  if (easy_) {
    curl_easy_reset(easy_.get());
  }
  return std::move(easy_);
}

void URLSessionTransfer::setBufferSizes() {
  CURL* easy = easy_.get();
  const bool download = task_->kind_ == URLSessionTask::Kind::Download;
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, download ? kDownloadBufferSize : kDataBufferSize);
  if (task_->kind_ == URLSessionTask::Kind::Upload) {
    curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
  }
}

std::optional<URLError> URLSessionTransfer::finish(CURLcode result) {
  std::optional<URLError> outcome = localError_;
  if (!outcome && result != CURLE_OK) {
    outcome = URLError::fromCurlCode(result);
  }
  if (outcome) {
    return outcome;
  }
  reusable_ = task_->kind_ == URLSessionTask::Kind::Data && !pausedOnce_;
  reportSentSoFar(true);
  if (task_->kind_ == URLSessionTask::Kind::Download) {
    reportWritten(true);
    const int fd = downloadFile_;
    downloadFile_ = -1;
    if (::close(fd) != 0) {
      return URLError(URLError::CannotWriteToFile);
    }
    core_.postDownloaded(task_, std::move(downloadPath_));
    downloadPath_.clear();
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
    responseHeaders_.clear();
    responseHeaders_.reserve(kExpectedHeaderFields);
    headersDone_ = false;
    return consumed;
  }
  if (headersDone_) {
    return consumed;  // trailers of a chunked body
  }
  const std::string_view content = trim(line);
  if (content.empty()) {
    if (statusCode_ >= 200 || statusCode_ < 100) {
      headersDone_ = true;
      headersComplete();
    }
    return consumed;
  }
  if ((line.front() == ' ' || line.front() == '\t') && !responseHeaders_.empty()) {
    auto& value = responseHeaders_.back().second;
    value += ' ';
    value += content;
    return consumed;
  }
  const auto colon = content.find(':');
  if (colon == std::string_view::npos) {
    return consumed;
  }
  responseHeaders_.emplace_back(std::string(trim(content.substr(0, colon))),
                                std::string(trim(content.substr(colon + 1))));
  return consumed;
}

void URLSessionTransfer::headersComplete() {
  reportSentSoFar(true);
  auto response = std::make_shared<const HTTPURLResponse>(*task_->request_.url(), statusCode_,
                                                          std::move(responseHeaders_));
  responseHeaders_.clear();
  expectedToWrite_ = response->expectedContentLength();
  task_->setResponse(response);
  if (task_->kind_ != URLSessionTask::Kind::Download) {
    core_.postResponse(task_, std::move(response));
  }
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
  if (task_->kind_ == URLSessionTask::Kind::Download) {
    return writeToFile(data, size);
  }
  auto& queued = task_->queuedBytes_;
  auto& pausedFlag = task_->pausedForBackpressure_;
  if (queued.load() >= URLSessionCore::kBackpressureHigh) {
    // Announce the pause before looking again, so that a delegate queue draining at this very
    // moment either sees the flag (and wakes us) or left enough room for us to go on.
    pausedFlag.store(true);
    if (queued.load() >= URLSessionCore::kBackpressureHigh) {
      paused_ = true;
      pausedOnce_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    pausedFlag.store(false);
  }
  if (size == 0) {
    return 0;
  }
  queued.fetch_add(static_cast<int64_t>(size));
  core_.postData(task_, std::string(data, size));
  return size;
}

size_t URLSessionTransfer::writeToFile(const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(downloadFile_, data + done, size - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      localError_ = URLError(URLError::CannotWriteToFile);
      return 0;
    }
    done += static_cast<size_t>(n);
  }
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
    core_.postSent(task_, step, total, bodySize_);
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
    core_.postWritten(task_, step, written_, expectedToWrite_);
  }
}

}  // namespace tq::detail
