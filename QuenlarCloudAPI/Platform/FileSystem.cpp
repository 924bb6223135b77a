#include "QuenlarCloudAPI/Platform/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace tq {

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    reset(std::exchange(other.fd_, -1));
  }
  return *this;
}

bool FileDescriptor::close() {
  const int fd = std::exchange(fd_, -1);
  return fd < 0 || ::close(fd) == 0;
}

void FileDescriptor::reset(int fd) noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
}

namespace {

bool isDirectory(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool makeDirectories(const std::filesystem::path& dir, unsigned mode) {
  std::vector<std::filesystem::path> missing;
  for (auto p = dir; !p.empty(); p = p.parent_path()) {
    struct stat info {};
    if (::stat(p.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) {
        return false;
      }
      break;
    }
    missing.push_back(p);
    if (p == p.parent_path()) {
      break;
    }
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    // Another thread or process may make the same directory meanwhile; what counts is that a
    // directory stands there afterwards.
    if (::mkdir(it->c_str(), static_cast<mode_t>(mode)) != 0 &&
        !(errno == EEXIST && isDirectory(*it))) {
      return false;
    }
  }
  return true;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool tryLockExclusive(int fd) {
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool namesOpenFile(const std::filesystem::path& path, int fd) {
  struct stat named {};
  struct stat open {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

namespace {

// A lock lost to a remover between making and locking is rare; a few fresh names are plenty.
constexpr int kMakeAttempts = 8;

template <typename Make>
FileDescriptor makeLocked(const std::string& pattern, std::string& path, Make make) {
  path.clear();
  for (int attempt = 0; attempt < kMakeAttempts; ++attempt) {
    std::string name = pattern;
    FileDescriptor fd(make(name));
    if (!fd.valid()) {
      if (errno == ENOENT) {
        continue;  // a directory removed between making and opening it
      }
      return fd;
    }
    // Where the file system cannot lock at all, no remover can lock either, and removers leave
    // what they cannot lock alone: the entry is as safe unlocked. Held by another, it is being
    // removed.
    const bool locked = tryLockExclusive(fd.get());
    if ((locked || errno != EWOULDBLOCK) && namesOpenFile(name, fd.get())) {
      path = std::move(name);
      return fd;
    }
  }
  return FileDescriptor();
}

}  // namespace

FileDescriptor makeLockedFile(const std::string& pattern, std::string& path) {
  return makeLocked(pattern, path,
                    [](std::string& name) { return ::mkostemp(name.data(), O_CLOEXEC); });
}

FileDescriptor makeLockedDirectory(const std::string& pattern, std::string& path) {
  return makeLocked(pattern, path, [](std::string& name) {
    if (::mkdtemp(name.data()) == nullptr) {
      return -1;
    }
    return ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  });
}

}  // namespace tq
