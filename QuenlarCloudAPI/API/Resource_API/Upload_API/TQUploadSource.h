// TQUploadSource: the host's local file of one upload, as it was when the upload began. The
// upload deletes the file once the server holds it, but only while the path still leads to that
// same file, unchanged: a file the host replaced or rewrote meanwhile is not what the server
// received, and is kept. A plain value; safe to use from any thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/Platform/URL.h"

class TQUploadSource {
 public:
  // The regular file at `path` (links followed); nullopt when there is none.
  static std::optional<TQUploadSource> at(const std::filesystem::path& path);

  const std::filesystem::path& path() const { return path_; }
  int64_t size() const { return size_; }
  tq::URL fileURL() const { return tq::URL::fileURLWithPath(path_); }

  // Deletes the file when the path still leads to it, with the size and modification time it had.
  void removeIfUnchanged() const;

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t size = 0;
    timespec modified{};
    bool operator==(const Identity& other) const;
  };
  static std::optional<Identity> identityOf(const std::filesystem::path& path);

  TQUploadSource(std::filesystem::path path, Identity identity)
      : path_(std::move(path)), size_(identity.size), identity_(identity) {}

  std::filesystem::path path_;
  int64_t size_;
  Identity identity_;
};
