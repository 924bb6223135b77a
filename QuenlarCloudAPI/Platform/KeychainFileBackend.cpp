#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"
#include "QuenlarCloudAPI/Platform/KeychainItemFormat.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/UUID.h"

namespace tq {
namespace {

void logLine(const std::string& text) { tq::systemLog("Keychain: " + text); }

std::string errorText(int error) {
  std::array<char, 128> buffer{};
  // The GNU strerror_r answers a pointer that may or may not be the buffer.
  return ::strerror_r(error, buffer.data(), buffer.size());
}

// The directory, opened and checked; an invalid descriptor when it must not be used.
FileDescriptor openPrivateDirectory(const std::filesystem::path& dir) {
  makeDirectories(dir);
  FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    logLine("cannot open the directory " + dir.string() + ": " + errorText(errno));
    return fd;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    logLine("cannot examine the directory " + dir.string() + ": " + errorText(errno));
    return FileDescriptor();
  }
  if (info.st_uid != ::geteuid()) {
    logLine("the directory " + dir.string() + " belongs to another user; not used");
    return FileDescriptor();
  }
  if ((info.st_mode & 077) != 0) {
    logLine("the directory " + dir.string() + " is open to group or others; not used");
    return FileDescriptor();
  }
  return fd;
}

enum class ReadOutcome { Found, Absent, Failed };

// Reads the item file `name` for `identifier`. Refused and corrupt files are Absent, and logged.
ReadOutcome readItem(int dirfd, const std::string& name, const std::string& identifier,
                     KeychainItem& item) {
  // O_NONBLOCK: a FIFO planted at the item's name must not hang the open.
  FileDescriptor fd(::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    const int error = errno;
    if (error == ENOENT) {
      return ReadOutcome::Absent;
    }
    if (error == ELOOP) {
      logLine("item file " + name + " ignored: it is a link");
      return ReadOutcome::Absent;
    }
    logLine("item file " + name + " cannot be opened: " + errorText(error));
    return ReadOutcome::Failed;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    logLine("item file " + name + " cannot be examined: " + errorText(errno));
    return ReadOutcome::Failed;
  }
  const char* refusal = nullptr;
  if (!S_ISREG(info.st_mode)) {
    refusal = "it is not a regular file";
  } else if (info.st_uid != ::geteuid()) {
    refusal = "it belongs to another user";
  } else if (static_cast<std::size_t>(info.st_size) > KeychainFileBackend::kMaximumItemFileSize) {
    refusal = "it is larger than the largest item file";
  }
  if (refusal != nullptr) {
    logLine("item file " + name + " ignored: " + refusal);
    return ReadOutcome::Absent;
  }
  // One byte more than allowed, so a file that grew after fstat is still caught.
  std::string bytes(KeychainFileBackend::kMaximumItemFileSize + 1, '\0');
  std::size_t total = 0;
  while (total < bytes.size()) {
    const ssize_t count = ::read(fd.get(), bytes.data() + total, bytes.size() - total);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      logLine("item file " + name + " cannot be read: " + errorText(errno));
      return ReadOutcome::Failed;
    }
    if (count == 0) {
      break;
    }
    total += static_cast<std::size_t>(count);
  }
  bytes.resize(total);
  auto decoded = total <= KeychainFileBackend::kMaximumItemFileSize
                     ? decodeKeychainItem(bytes, identifier)
                     : std::nullopt;
  if (!decoded) {
    logLine("item file " + name + " ignored: it is corrupt");
    return ReadOutcome::Absent;
  }
  item = std::move(*decoded);
  return ReadOutcome::Found;
}

// Replaces the file `name` with `bytes` atomically and durably.
KeychainStatus writeItem(int dirfd, const std::string& name, std::string_view bytes) {
  const std::string temporary = "." + name + ".tmp-" + makeUUIDString();
  FileDescriptor fd(::openat(dirfd, temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid()) {
    logLine("cannot create a temporary item file: " + errorText(errno));
    return kKeychainIOError;
  }
  const char* failedStep = nullptr;
  // The umask may have taken bits away; the owner must still read and write.
  if (::fchmod(fd.get(), 0600) != 0) {
    failedStep = "set the mode of";
  } else if (!writeAll(fd.get(), bytes)) {
    failedStep = "write";
  } else if (::fsync(fd.get()) != 0) {
    failedStep = "flush";
  } else if (!fd.close()) {
    failedStep = "close";
  } else if (::renameat(dirfd, temporary.c_str(), dirfd, name.c_str()) != 0) {
    failedStep = "rename";
  }
  if (failedStep != nullptr) {
    const int error = errno;
    ::unlinkat(dirfd, temporary.c_str(), 0);
    logLine(std::string("cannot ") + failedStep + " item file " + name + ": " + errorText(error));
    return kKeychainIOError;
  }
  // The rename is durable only once the directory is.
  if (::fsync(dirfd) != 0) {
    logLine("cannot flush the keychain directory: " + errorText(errno));
    return kKeychainIOError;
  }
  return kKeychainSuccess;
}

// Writes the item when its file is in the `required` state (Found or Absent), else answers
// `otherwise`; add and update differ only in these two.
KeychainStatus storeItem(std::mutex& mutex, const std::filesystem::path& directory,
                         const std::string& identifier, const KeychainItem& item,
                         ReadOutcome required, KeychainStatus otherwise) {
  const std::string bytes = encodeKeychainItem(identifier, item);
  if (bytes.size() > KeychainFileBackend::kMaximumItemFileSize) {
    logLine("an item is too large to store");
    return kKeychainParameterError;
  }
  std::lock_guard lock(mutex);
  const FileDescriptor dir = openPrivateDirectory(directory);
  if (!dir.valid()) {
    return kKeychainIOError;
  }
  const std::string name = KeychainFileBackend::fileNameForIdentifier(identifier);
  KeychainItem existing;
  const ReadOutcome outcome = readItem(dir.get(), name, identifier, existing);
  if (outcome == ReadOutcome::Failed) {
    return kKeychainIOError;
  }
  if (outcome != required) {
    return otherwise;
  }
  return writeItem(dir.get(), name, bytes);
}

}  // namespace

KeychainFileBackend::KeychainFileBackend(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

std::string KeychainFileBackend::fileNameForIdentifier(const std::string& identifier) {
  return sha256(identifier);
}

KeychainStatus KeychainFileBackend::find(const std::string& identifier, KeychainItem& item) {
  std::lock_guard lock(mutex_);
  const FileDescriptor dir = openPrivateDirectory(directory_);
  if (!dir.valid()) {
    return kKeychainIOError;
  }
  KeychainItem found;
  switch (readItem(dir.get(), fileNameForIdentifier(identifier), identifier, found)) {
    case ReadOutcome::Found:
      item = std::move(found);
      return kKeychainSuccess;
    case ReadOutcome::Absent:
      return kKeychainItemNotFound;
    case ReadOutcome::Failed:
      break;
  }
  return kKeychainIOError;
}

KeychainStatus KeychainFileBackend::add(const std::string& identifier, const KeychainItem& item) {
  return storeItem(mutex_, directory_, identifier, item, ReadOutcome::Absent,
                   kKeychainDuplicateItem);
}

KeychainStatus KeychainFileBackend::update(const std::string& identifier,
                                           const KeychainItem& item) {
  return storeItem(mutex_, directory_, identifier, item, ReadOutcome::Found, kKeychainItemNotFound);
}

KeychainStatus KeychainFileBackend::remove(const std::string& identifier) {
  std::lock_guard lock(mutex_);
  const FileDescriptor dir = openPrivateDirectory(directory_);
  if (!dir.valid()) {
    return kKeychainIOError;
  }
  const std::string name = fileNameForIdentifier(identifier);
  KeychainItem existing;
  const ReadOutcome outcome = readItem(dir.get(), name, identifier, existing);
  if (outcome == ReadOutcome::Failed) {
    return kKeychainIOError;
  }
  // A refused or corrupt file counted as absent; it goes too (a link itself, never its target;
  // a directory standing at the name stays), and the answer is still item-not-found.
  if (::unlinkat(dir.get(), name.c_str(), 0) != 0) {
    const int error = errno;
    if (outcome == ReadOutcome::Found && error != ENOENT) {
      logLine("cannot delete item file " + name + ": " + errorText(error));
      return kKeychainIOError;
    }
  }
  if (outcome == ReadOutcome::Absent) {
    return kKeychainItemNotFound;
  }
  if (::fsync(dir.get()) != 0) {
    logLine("cannot flush the keychain directory: " + errorText(errno));
    return kKeychainIOError;
  }
  return kKeychainSuccess;
}

}  // namespace tq
