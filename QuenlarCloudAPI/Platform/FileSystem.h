// FileSystem: the few POSIX file operations the library repeats: an owned descriptor, making a
// directory path, writing a whole buffer, and the advisory lock that marks a file or directory
// as in use by a live process.
//
// Everything here is safe from any thread; a FileDescriptor itself belongs to one owner.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tq {

// Owns one open descriptor and closes it when it goes; -1 holds nothing. Movable, not copyable.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept;
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and answers whether the close succeeded: on some file systems a failing close is
  // the only news of a write that never reached the disk. True when nothing was held.
  bool close();
  // Closes what is held, ignoring the outcome, and takes `fd`.
  void reset(int fd = -1) noexcept;

 private:
  int fd_;
};

// Makes `dir` and each missing parent with `mode`. An existing part of the path is followed
// through links (a host may keep its data behind one); the callers that must refuse a link check
// the final directory themselves. True when `dir` is a directory afterwards, whoever made it.
bool makeDirectories(const std::filesystem::path& dir, unsigned mode = 0700);

// Writes all `size` bytes, going on after interrupted and partial writes. False when a write
// fails or writes nothing; how much reached the file is then unknown.
bool writeAll(int fd, const char* data, std::size_t size);
inline bool writeAll(int fd, std::string_view bytes) {
  return writeAll(fd, bytes.data(), bytes.size());
}

// Takes the exclusive advisory lock (flock) of the open file or directory `fd`, without waiting.
// The lock belongs to the open file description: other opens, in this process or another, see it
// held until every descriptor sharing it is closed, and the kernel lets it go when the holder
// dies. False when someone else holds it (errno EWOULDBLOCK), or the file system cannot lock.
bool tryLockExclusive(int fd);

// Whether `path` still names the very file or directory open as `fd` (the name is not followed
// when it is a link). A holder that locks a newly made entry checks this afterwards, since the
// entry may have been taken away between making it and locking it.
bool namesOpenFile(const std::filesystem::path& path, int fd);

// Makes a new entry from the mkstemp/mkdtemp template `pattern` (ending in "XXXXXX"), a file
// (mode 0600, open for reading and writing) or a directory (0700, open for reading), and holds it
// locked as above for as long as the answered descriptor, or a duplicate of it, stays open (on a
// file system without advisory locks, unlocked: removers cannot lock there and leave it alone).
// Sets `path` to the entry's name. An entry taken away before it was locked is given up for a
// fresh one. An invalid descriptor, `path` empty, when none could be made.
FileDescriptor makeLockedFile(const std::string& pattern, std::string& path);
FileDescriptor makeLockedDirectory(const std::string& pattern, std::string& path);

}  // namespace tq
