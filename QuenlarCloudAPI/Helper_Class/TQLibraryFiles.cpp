#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <system_error>
#include <vector>

#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"

namespace fs = std::filesystem;

namespace TQLibraryFiles {
namespace {

constexpr std::string_view kChunkDirectoryPrefix = ".TQChunks-";
constexpr std::string_view kDownloadCopyPrefix = ".download-";
constexpr std::string_view kAnswerSpoolPrefix = "fullview-";
constexpr std::string_view kUniquePlaceholder = "XXXXXX";
constexpr std::array<std::string_view, 3> kStoreCompanionSuffixes = {"-wal", "-shm", "-journal"};

bool isAsciiAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// `prefix` followed by exactly what mkstemp puts in place of "XXXXXX": six letters or digits.
bool isMadeFrom(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) {
    return false;
  }
  const std::string_view unique = name.substr(prefix.size());
  return unique.size() == kUniquePlaceholder.size() &&
         std::all_of(unique.begin(), unique.end(), isAsciiAlphanumeric);
}

std::string makeTemplate(const fs::path& directory, std::string_view prefix) {
  return (directory / (std::string(prefix) + std::string(kUniquePlaceholder))).string();
}

bool isWorkingEntry(Kind kind) { return kind != Kind::Store && kind != Kind::StoreCompanion; }

// Removes `path` when it is of the expected type, ours, and no live process holds its lock.
bool removeIfAbandoned(const fs::path& path, bool directory) {
  // O_NONBLOCK: a FIFO planted at one of our names must not hang the open.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (directory ? O_DIRECTORY : 0);
  const tq::FileDescriptor fd(::open(path.c_str(), flags));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || info.st_uid != ::geteuid() ||
      (directory ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode))) {
    return false;
  }
  // Held while removing, so that a process making a fresh entry can never take this one.
  if (!tq::tryLockExclusive(fd.get()) || !tq::namesOpenFile(path, fd.get())) {
    return false;
  }
  std::error_code error;
  if (directory) {
    fs::remove_all(path, error);
  } else {
    fs::remove(path, error);
  }
  return !error;
}

// Which kinds the library makes in which of its two directories.
bool belongsIn(Kind kind, bool inDocuments) {
  switch (kind) {
    case Kind::ChunkDirectory:
    case Kind::DownloadCopy:
      return inDocuments;
    case Kind::SessionDownload:
    case Kind::AnswerSpool:
      return !inDocuments;
    default:
      return false;
  }
}

int removeLeftoversIn(const fs::path& directory, bool documents, bool temporary) {
  int removed = 0;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const auto kind = parse(name);
    if (!kind || !isWorkingEntry(*kind) ||
        !((documents && belongsIn(*kind, true)) || (temporary && belongsIn(*kind, false)))) {
      continue;
    }
    removed += removeIfAbandoned(it->path(), *kind == Kind::ChunkDirectory) ? 1 : 0;
  }
  return removed;
}

}  // namespace

fs::path storePath(const fs::path& documents) { return documents / kStoreFileName; }

std::vector<fs::path> storeFiles(const fs::path& documents) {
  const auto database = storePath(documents);
  std::vector<fs::path> files{database};
  for (const auto suffix : kStoreCompanionSuffixes) {
    files.emplace_back(database.string() + std::string(suffix));
  }
  return files;
}

std::string chunkDirectoryTemplate(const fs::path& documents) {
  return makeTemplate(documents, kChunkDirectoryPrefix);
}

std::string downloadCopyTemplate(const fs::path& documents) {
  return makeTemplate(documents, kDownloadCopyPrefix);
}

std::string answerSpoolTemplate(const fs::path& temporary) {
  return makeTemplate(temporary, kAnswerSpoolPrefix);
}

std::optional<Kind> parse(std::string_view name) {
  if (name == kStoreFileName) {
    return Kind::Store;
  }
  if (name.starts_with(kStoreFileName)) {
    const std::string_view suffix = name.substr(kStoreFileName.size());
    if (std::find(kStoreCompanionSuffixes.begin(), kStoreCompanionSuffixes.end(), suffix) !=
        kStoreCompanionSuffixes.end()) {
      return Kind::StoreCompanion;
    }
  }
  if (isMadeFrom(name, kChunkDirectoryPrefix)) {
    return Kind::ChunkDirectory;
  }
  if (isMadeFrom(name, kDownloadCopyPrefix)) {
    return Kind::DownloadCopy;
  }
  if (isMadeFrom(name, tq::URLSession::kDownloadFileNamePrefix)) {
    return Kind::SessionDownload;
  }
  if (isMadeFrom(name, kAnswerSpoolPrefix)) {
    return Kind::AnswerSpool;
  }
  return std::nullopt;
}

int removeLeftovers(const fs::path& documents, const fs::path& temporary) {
  std::error_code error;
  if (fs::equivalent(documents, temporary, error)) {
    return removeLeftoversIn(documents, true, true);
  }
  return removeLeftoversIn(documents, true, false) + removeLeftoversIn(temporary, false, true);
}

void removeLeftoversOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    removeLeftovers(tq::Environment::documentsDirectory(), tq::Environment::temporaryDirectory());
  });
}

}  // namespace TQLibraryFiles
