// URLSessionDownloadFile: the temporary file that a download task's body streams into.
//
// Internal to Platform/; used by one transfer on its session's network thread. curl hands a body
// over in pieces of at most 16 KiB. Written one by one, each piece costs the file system its
// per-write work over small pages; gathered into blocks of 64 KiB, they cost the network thread
// less time in the kernel, and their pages come in larger folios that are also quicker to free
// when the file goes. Larger blocks ask the kernel for larger folios still, which a busy machine
// hands out more slowly, not faster. Memory stays flat: one block at most is held, whatever the
// size, and a body announced shorter than a block gets a buffer of its own length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/FileSystem.h"

namespace tq::detail {

class URLSessionDownloadFile {
 public:
  static constexpr size_t kBlockSize = size_t{64} << 10;

  URLSessionDownloadFile() = default;
  // Removes a file that finish() did not hand over.
  ~URLSessionDownloadFile() { discard(); }
  URLSessionDownloadFile(const URLSessionDownloadFile&) = delete;
  URLSessionDownloadFile& operator=(const URLSessionDownloadFile&) = delete;

  // A finished file, and the hold on its advisory lock: while `lock` lives, no process of the
  // library takes the file for a leftover of a killed one.
  struct Finished {
    std::string path;
    std::shared_ptr<const FileDescriptor> lock;
  };

  // Makes a new empty file (mode 0600) in `directory`, named by
  // URLSession::kDownloadFileNamePrefix and locked; false when it cannot be made. Any file this
  // object held before is discarded first.
  bool create(const std::filesystem::path& directory);
  // The body's announced length (negative when unknown): a short body needs no full block.
  void expect(int64_t bytes);
  // Takes the next `size` bytes of the body. False when the file could not take them or an
  // earlier block; nothing more is written after that.
  bool append(const char* data, size_t size);
  // Writes what is held and closes the file, answering its path, which the caller then owns, and
  // its lock; nullopt when a write or the close failed, and the file is then removed.
  std::optional<Finished> finish();
  // Closes and removes the file, dropping what is held.
  void discard();

 private:
  bool writeOut(const char* data, size_t size);
  bool flush();

  FileDescriptor fd_;
  std::string path_;
  bool failed_ = false;
  size_t capacity_ = kBlockSize;
  std::unique_ptr<char[]> buffer_;
  size_t held_ = 0;
};

}  // namespace tq::detail
