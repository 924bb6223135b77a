#include "QuenlarCloudAPI/Platform/URLSessionDownloadFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "QuenlarCloudAPI/Platform/URLSession.h"

namespace tq::detail {

bool URLSessionDownloadFile::create(const std::filesystem::path& directory) {
  discard();
  const std::string pattern =
      (directory / (std::string(URLSession::kDownloadFileNamePrefix) + "XXXXXX")).string();
  fd_ = makeLockedFile(pattern, path_);
  return fd_.valid();
}

void URLSessionDownloadFile::expect(int64_t bytes) {
  if (!buffer_ && bytes > 0 && bytes < static_cast<int64_t>(kBlockSize)) {
    capacity_ = static_cast<size_t>(bytes);
  }
}

bool URLSessionDownloadFile::append(const char* data, size_t size) {
  if (!fd_.valid() || failed_) {
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

std::optional<URLSessionDownloadFile::Finished> URLSessionDownloadFile::finish() {
  if (!fd_.valid()) {
    return std::nullopt;
  }
  const bool written = !failed_ && flush();
  // The duplicate shares the lock, which must outlive this descriptor's close: only the close
  // tells of a write that failed late.
  auto lock = std::make_shared<const FileDescriptor>(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
  const bool closed = fd_.close();
  buffer_.reset();
  if (!written || !closed || !lock->valid()) {
    discard();
    return std::nullopt;
  }
  failed_ = false;
  capacity_ = kBlockSize;
  return Finished{std::exchange(path_, std::string()), std::move(lock)};
}

void URLSessionDownloadFile::discard() {
  fd_.reset();
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
  if (!writeAll(fd_.get(), data, size)) {
    failed_ = true;
    return false;
  }
  return true;
}

bool URLSessionDownloadFile::flush() {
  const size_t held = std::exchange(held_, 0);
  return writeOut(buffer_.get(), held);
}

}  // namespace tq::detail
