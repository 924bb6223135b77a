#include "QuenlarCloudAPI/API/TQDownloadFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace {

// Copies `from` into a new file in `directory` and answers its path; nullopt on failure.
std::optional<fs::path> copyIntoDirectory(const fs::path& from, const fs::path& directory) {
  std::string pattern = (directory / ".download-XXXXXX").string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    return std::nullopt;
  }
  ::close(fd);
  std::error_code error;
  fs::copy_file(from, pattern, fs::copy_options::overwrite_existing, error);
  if (error) {
    ::unlink(pattern.c_str());
    return std::nullopt;
  }
  return fs::path(pattern);
}

}  // namespace

std::string TQDownloadFile::fileName(const std::optional<tq::URL>& requestURL) {
  std::string name = requestURL ? requestURL->lastPathComponent() : "";
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos) {
    return kFallbackName;
  }
  return name;
}

std::optional<TQDownloadFile> TQDownloadFile::place(const std::optional<tq::URL>& requestURL,
                                                    const fs::path& temporaryFile,
                                                    const fs::path& directory) {
  const fs::path target = directory / fileName(requestURL);
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    return std::nullopt;
  }
  if (::rename(temporaryFile.c_str(), target.c_str()) != 0) {
    const auto copy = copyIntoDirectory(temporaryFile, directory);
    if (!copy) {
      return std::nullopt;
    }
    if (::rename(copy->c_str(), target.c_str()) != 0) {
      ::unlink(copy->c_str());
      return std::nullopt;
    }
  }
  struct stat placed {};
  if (::lstat(target.c_str(), &placed) != 0) {
    return std::nullopt;
  }
  return TQDownloadFile(target, static_cast<uint64_t>(placed.st_dev),
                        static_cast<uint64_t>(placed.st_ino));
}

void TQDownloadFile::removeIfUnchanged(const fs::path& path) const {
  struct stat current {};
  if (::lstat(path.c_str(), &current) == 0 && S_ISREG(current.st_mode) &&
      static_cast<uint64_t>(current.st_dev) == device_ &&
      static_cast<uint64_t>(current.st_ino) == inode_) {
    ::unlink(path.c_str());
  }
}
