#include "QuenlarCloudAPI/Platform/ReadFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tq {

std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<std::size_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  // The size may change under us; read until end of file, but never past the limit.
  while (true) {
    if (done == bytes.size()) {
      if (bytes.size() >= maxBytes) {
        char probe = 0;
        const ssize_t extra = ::read(fd, &probe, 1);
        if (extra == 0) {
          break;
        }
        if (extra < 0 && errno == EINTR) {
          continue;
        }
        return std::nullopt;
      }
      bytes.resize(std::min(maxBytes, bytes.size() + 4096));
    }
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    if (n == 0) {
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace tq
