#include "QuenlarCloudAPI/Platform/URLSessionDownloadFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

namespace tq::detail {

bool URLSessionDownloadFile::create(const std::filesystem::path& directory) {
  discard();
  std::string path = (directory / "URLSessionDownload-XXXXXX").string();
  fd_ = ::mkostemp(path.data(), O_CLOEXEC);
  if (fd_ < 0) {
    return false;
  }
  path_ = std::move(path);
  return true;
}

void URLSessionDownloadFile::expect(int64_t bytes) {
  if (!buffer_ && bytes > 0 && bytes < static_cast<int64_t>(kBlockSize)) {
    capacity_ = static_cast<size_t>(bytes);
  }
}

bool URLSessionDownloadFile::append(const char* data, size_t size) {
  if (fd_ < 0 || failed_) {
    return false;
  }
  if (held_ == 0 && size >= capacity_) {
    // Whole blocks go straight to the file; only the rest waits for more.
    const size_t whole = size - size % capacity_;
    if (!writeOut(data, whole)) {
      return false;
    }
    data += whole;
    size -= whole;
  }
  while (size > 0) {
    if (!buffer_) {
      buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
    const size_t taken = std::min(size, capacity_ - held_);
    std::memcpy(buffer_.get() + held_, data, taken);
    held_ += taken;
    data += taken;
    size -= taken;
    if (held_ == capacity_ && !flush()) {
      return false;
    }
  }
  return true;
}

std::optional<std::string> URLSessionDownloadFile::finish() {
  if (fd_ < 0) {
    return std::nullopt;
  }
  const bool written = !failed_ && flush();
  const bool closed = ::close(std::exchange(fd_, -1)) == 0;
  buffer_.reset();
  if (!written || !closed) {
    discard();
    return std::nullopt;
  }
  failed_ = false;
  capacity_ = kBlockSize;
  return std::exchange(path_, std::string());
}

void URLSessionDownloadFile::discard() {
  if (fd_ >= 0) {
    ::close(std::exchange(fd_, -1));
  }
  if (!path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    path_.clear();
  }
  buffer_.reset();
  held_ = 0;
  failed_ = false;
  capacity_ = kBlockSize;
}

bool URLSessionDownloadFile::writeOut(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool URLSessionDownloadFile::flush() {
  const size_t held = std::exchange(held_, 0);
  return writeOut(buffer_.get(), held);
}

}  // namespace tq::detail
