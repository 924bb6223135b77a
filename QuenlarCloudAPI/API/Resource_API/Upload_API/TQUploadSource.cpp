#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadSource.h"

#include <sys/stat.h>
#include <unistd.h>

bool TQUploadSource::Identity::operator==(const Identity& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

std::optional<TQUploadSource::Identity> TQUploadSource::identityOf(
    const std::filesystem::path& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  return Identity{info.st_dev, info.st_ino, static_cast<int64_t>(info.st_size), info.st_mtim};
}

std::optional<TQUploadSource> TQUploadSource::at(const std::filesystem::path& path) {
  const auto identity = identityOf(path);
  if (!identity) {
    return std::nullopt;
  }
  return TQUploadSource(path, *identity);
}

void TQUploadSource::removeIfUnchanged() const {
  if (identityOf(path_) == identity_) {
    ::unlink(path_.c_str());
  }
}
