#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"

namespace {

// An open file that no name leads to, in `directory`; -1 when none can be made.
int anonymousFile(const std::filesystem::path& directory) {
#ifdef O_TMPFILE
  if (const int unnamed = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
      unnamed >= 0) {
    return unnamed;
  }
#endif
  // File systems without O_TMPFILE: a named file, unlinked at once.
  std::string pattern = TQLibraryFiles::answerSpoolTemplate(directory);
  const int descriptor = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (descriptor >= 0) {
    ::unlink(pattern.c_str());
  }
  return descriptor;
}

}  // namespace

std::shared_ptr<TQAnswerSpool> TQAnswerSpool::make() {
  const int descriptor = anonymousFile(tq::Environment::temporaryDirectory());
  if (descriptor < 0) {
    return nullptr;
  }
  return std::shared_ptr<TQAnswerSpool>(new TQAnswerSpool(descriptor));
}

TQAnswerSpool::~TQAnswerSpool() { ::close(descriptor_); }

void TQAnswerSpool::append(std::string_view piece) {
  std::lock_guard lock(mutex_);
  if (failed_ || piece.empty()) {
    return;
  }
  if (!tq::writeAll(descriptor_, piece)) {
    failed_ = true;
    return;
  }
  size_ += static_cast<int64_t>(piece.size());
}

bool TQAnswerSpool::failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

int64_t TQAnswerSpool::size() const {
  std::lock_guard lock(mutex_);
  return size_;
}

TQAnswerSpool::Reader::Reader(const TQAnswerSpool& spool)
    : descriptor_(spool.descriptor_), buffer_(new char[kBufferSize]) {
  refill();
}

void TQAnswerSpool::Reader::refill() {
  position_ = 0;
  length_ = 0;
  for (;;) {
    // pread leaves the file offset alone, so reading never disturbs an append.
    const ssize_t count = ::pread(descriptor_, buffer_.get(), kBufferSize, offset_);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      readFailed_ = true;
      return;
    }
    length_ = static_cast<size_t>(count);
    offset_ += count;
    sawNul_ = sawNul_ || std::memchr(buffer_.get(), '\0', length_) != nullptr;
    return;
  }
}
