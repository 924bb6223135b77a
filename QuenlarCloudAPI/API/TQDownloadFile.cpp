#include "QuenlarCloudAPI/API/TQDownloadFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>
#include <string>

#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

// Copies `from` into a new file in `directory` and answers its path; nullopt on failure. The
// copy's lock is held until `hold` lets it go, so that no process takes it for a leftover.
std::optional<fs::path> copyIntoDirectory(const fs::path& from, const fs::path& directory,
                                          tq::FileDescriptor& hold) {
  std::string path;
  hold = tq::makeLockedFile(TQLibraryFiles::downloadCopyTemplate(directory), path);
  if (!hold.valid()) {
    return std::nullopt;
  }
  std::error_code error;
  fs::copy_file(from, path, fs::copy_options::overwrite_existing, error);
  if (error) {
    ::unlink(path.c_str());
    return std::nullopt;
  }
  return fs::path(path);
}

// How many names beside a claimed one are tried before the download gives up.
constexpr int kMaximumAlternatives = 1000;

// The places claimed by live download files, by full path. Never destroyed: a call held in a
// static of the host may let its claim go during static destruction.
std::mutex& claimsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::set<std::string>& claimedPaths() {
  static auto* paths = new std::set<std::string>;
  return *paths;
}

// "name (n).ext", keeping the extension so that the file still opens as what it is.
std::string alternativeName(const std::string& name, int n) {
  const fs::path path(name);
  return path.stem().string() + " (" + std::to_string(n) + ")" + path.extension().string();
}

bool existsOnDisk(const fs::path& path) {
  struct stat existing {};
  return ::lstat(path.c_str(), &existing) == 0 || errno != ENOENT;
}

}  // namespace

class TQDownloadFile::Claim {
 public:
  explicit Claim(std::string path) : path_(std::move(path)) {}
  ~Claim() {
    std::lock_guard lock(claimsMutex());
    claimedPaths().erase(path_);
  }
  Claim(const Claim&) = delete;
  Claim& operator=(const Claim&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::shared_ptr<const TQDownloadFile::Claim> TQDownloadFile::claimPlace(const fs::path& directory,
                                                                        const std::string& name) {
  std::lock_guard lock(claimsMutex());
  auto& claimed = claimedPaths();
  // The name itself replaces a file left by no live call, as a download always has, unless the
  // library keeps a file of that name (its store above all); a name beside it must be free on
  // disk too, so that no file of the host's is replaced.
  const std::string own = (directory / name).string();
  if (!TQLibraryFiles::parse(name) && claimed.insert(own).second) {
    return std::make_shared<const Claim>(own);
  }
  for (int n = 2; n <= kMaximumAlternatives + 1; ++n) {
    std::string candidate = (directory / alternativeName(name, n)).string();
    if (!claimed.contains(candidate) && !existsOnDisk(candidate)) {
      claimed.insert(candidate);
      return std::make_shared<const Claim>(std::move(candidate));
    }
  }
  return nullptr;
}

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
  auto claim = claimPlace(directory, fileName(requestURL));
  if (!claim) {
    return std::nullopt;
  }
  const fs::path target = claim->path();
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    return std::nullopt;
  }
  if (::rename(temporaryFile.c_str(), target.c_str()) != 0) {
    tq::FileDescriptor copyLock;
    const auto copy = copyIntoDirectory(temporaryFile, directory, copyLock);
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
                        static_cast<uint64_t>(placed.st_ino), std::move(claim));
}

void TQDownloadFile::removeIfUnchanged(const fs::path& path) const {
  struct stat current {};
  if (::lstat(path.c_str(), &current) == 0 && S_ISREG(current.st_mode) &&
      static_cast<uint64_t>(current.st_dev) == device_ &&
      static_cast<uint64_t>(current.st_ino) == inode_) {
    ::unlink(path.c_str());
  }
}
