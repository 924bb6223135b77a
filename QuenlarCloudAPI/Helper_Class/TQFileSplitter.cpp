#include "QuenlarCloudAPI/Helper_Class/TQFileSplitter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <utility>

#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"
#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

// Used only where the kernel cannot copy between the two files itself; far smaller than a chunk.
constexpr size_t kCopyBufferBytes = size_t{1} << 20;

tq::URLError readError(int error) {
  return error == ENOENT
             ? tq::URLError(tq::URLError::FileDoesNotExist, "The file to split does not exist.")
             : tq::URLError(tq::URLError::NoPermissionsToReadFile,
                            "The file to split could not be read.");
}

tq::URLError writeError() {
  return tq::URLError(tq::URLError::CannotWriteToFile, "A chunk file could not be written.");
}

tq::URLError shortReadError() {
  return tq::URLError(tq::URLError::NoPermissionsToReadFile,
                      "The file to split ended before its size said.");
}

// Copies `length` bytes from `source` at `offset` to the start of `target`. The kernel copies
// where it can; otherwise one bounded buffer carries them. Answers the error, or nullopt.
std::optional<tq::URLError> copyRange(int source, int64_t offset, int64_t length, int target,
                                      std::unique_ptr<char[]>& buffer) {
  auto from = static_cast<off_t>(offset);
  int64_t left = length;
  bool kernelCopies = true;
  while (left > 0) {
    if (kernelCopies) {
      const ssize_t n =
          ::copy_file_range(source, &from, target, nullptr,
                            static_cast<size_t>(std::min<int64_t>(left, SSIZE_MAX)), 0);
      if (n > 0) {
        left -= n;
        continue;
      }
      if (n == 0) {
        return shortReadError();
      }
      if (errno == EINTR) {
        continue;
      }
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) {
        return errno == EIO || errno == EBADF ? readError(errno) : writeError();
      }
      kernelCopies = false;
    }
    if (!buffer) {
      buffer.reset(new (std::nothrow) char[kCopyBufferBytes]);
      if (!buffer) {
        return writeError();
      }
    }
    const auto want = static_cast<size_t>(std::min<int64_t>(left, kCopyBufferBytes));
    const ssize_t got = ::pread(source, buffer.get(), want, from);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return readError(errno);
    }
    if (got == 0) {
      return shortReadError();
    }
    if (!tq::writeAll(target, buffer.get(), static_cast<size_t>(got))) {
      return writeError();
    }
    from += got;
    left -= got;
  }
  return std::nullopt;
}

// One split: the source, where its chunks go, and what was written so far.
class Split {
 public:
  explicit Split(std::shared_ptr<TQFileSplitConfiguration> configuration)
      : configuration_(std::move(configuration)) {}

  // Writes every chunk file; on failure removes all of them and answers the error.
  std::optional<tq::URLError> run() {
    if (!configuration_ || configuration_->chunkSize < 1) {
      return tq::URLError(tq::URLError::Unknown, "A file is split into chunks of at least 1 byte.");
    }
    const tq::FileDescriptor source(::open(configuration_->filePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) {
      return readError(errno);
    }
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
      return readError(EISDIR);
    }
    const int64_t size = info.st_size;
    const int64_t chunkSize = configuration_->chunkSize;
    const int64_t count = size / chunkSize + (size % chunkSize != 0 ? 1 : 0);
    if (count == 0) {
      return std::nullopt;
    }
    if (count > INT32_MAX) {
      return tq::URLError(tq::URLError::Unknown, "The file would give too many chunks.");
    }
    if (auto error = makeDirectory()) {
      return error;
    }
    const std::string base = TQFileSplitter::chunkBaseName(configuration_->filePath);
    std::unique_ptr<char[]> buffer;
    for (auto number = static_cast<int32_t>(count); number >= 1; --number) {
      const int64_t start = int64_t{number - 1} * chunkSize;
      const int64_t length = std::min(chunkSize, size - start);
      const fs::path chunkPath = directory_ / (base + "(" + std::to_string(number) + ")");
      if (auto error = writeChunk(source.get(), start, length, chunkPath, buffer)) {
        abandon();
        return error;
      }
      auto info = std::make_shared<TQFileSplitInfo>();
      info->masterFilePath = configuration_->filePath;
      info->chunkFilePath = chunkPath.string();
      info->offset = number;
      info->directoryLock = directoryLock_;
      chunks_.push_back(std::move(info));
    }
    return std::nullopt;
  }

  std::vector<std::shared_ptr<TQFileSplitInfo>> takeChunks() { return std::move(chunks_); }

  // Removes every chunk file written so far, and their directory.
  void abandon() {
    if (!directory_.empty()) {
      std::error_code ignored;
      fs::remove_all(directory_, ignored);
    }
    chunks_.clear();
    directoryLock_.reset();
  }

 private:
  std::optional<tq::URLError> makeDirectory() {
    std::string path;
    auto lock = tq::makeLockedDirectory(
        TQLibraryFiles::chunkDirectoryTemplate(tq::Environment::documentsDirectory()), path);
    if (!lock.valid()) {
      return tq::URLError(tq::URLError::CannotCreateFile,
                          "No directory for chunk files could be made in Documents.");
    }
    directory_ = path;
    directoryLock_ = std::make_shared<const tq::FileDescriptor>(std::move(lock));
    return std::nullopt;
  }

  // Written under a temporary name and renamed, so a chunk file is never seen half written.
  std::optional<tq::URLError> writeChunk(int source, int64_t start, int64_t length,
                                         const fs::path& chunkPath,
                                         std::unique_ptr<char[]>& buffer) const {
    const fs::path partial = directory_ / ".partial";
    tq::FileDescriptor target(
        ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!target.valid()) {
      return writeError();
    }
    if (auto error = copyRange(source, start, length, target.get(), buffer)) {
      return error;
    }
    if (!target.close() || ::rename(partial.c_str(), chunkPath.c_str()) != 0) {
      return writeError();
    }
    return std::nullopt;
  }

  std::shared_ptr<TQFileSplitConfiguration> configuration_;
  fs::path directory_;
  std::shared_ptr<const tq::FileDescriptor> directoryLock_;
  std::vector<std::shared_ptr<TQFileSplitInfo>> chunks_;
};

}  // namespace

std::shared_ptr<TQFileSplitter> TQFileSplitter::sharedInstance() {
  static const auto instance = std::make_shared<TQFileSplitter>(Key{});
  return instance;
}

void TQFileSplitter::splitFileWithConfiguration(
    std::shared_ptr<TQFileSplitConfiguration> configuration,
    TQFileSplitCompletionHandler completionHandler) const {
  if (!completionHandler) {
    return;
  }
  tq::globalQueue().async([configuration = std::move(configuration),
                           completionHandler = std::move(completionHandler)] {
    Split split(configuration);
    std::optional<tq::URLError> error;
    try {
      error = split.run();
    } catch (const std::exception&) {
      split.abandon();  // out of memory or the like
      error = writeError();
    }
    completionHandler(error ? std::vector<std::shared_ptr<TQFileSplitInfo>>() : split.takeChunks(),
                      std::move(error));
  });
}

std::string TQFileSplitter::chunkFileName(std::string_view sourcePath) const {
  return (tq::Environment::documentsDirectory() / chunkBaseName(sourcePath)).string();
}

std::string TQFileSplitter::chunkBaseName(std::string_view sourcePath) {
  const size_t slash = sourcePath.rfind('/');
  const std::string_view component =
      slash == std::string_view::npos ? sourcePath : sourcePath.substr(slash + 1);
  std::string name =
      NSURL_Helper::strictlyPercentDecoded(component).value_or(std::string(component));
  name.erase(std::min(name.find('.'), name.size()));
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\0', '_');
  if (name.size() > kMaximumBaseNameBytes) {
    // Cut before a continuation byte would split a character in two.
    size_t cut = kMaximumBaseNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) {
      --cut;
    }
    name.resize(cut);
  }
  return name.empty() ? kFallbackBaseName : name;
}
