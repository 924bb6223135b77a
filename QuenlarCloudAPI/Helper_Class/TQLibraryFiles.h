// TQLibraryFiles: the names of every file and directory the library itself makes in the
// Documents and temporary directories, made and recognised in one place.
//
// In Documents: the store "TQCloudDB.sqlite" with its "-wal", "-shm" and "-journal" files; one
// ".TQChunks-XXXXXX" directory per chunked upload; ".download-XXXXXX" while a download is copied
// in from another file system. In the temporary directory: the URL session's download files
// (named by the platform layer, tq::URLSession::kDownloadFileNamePrefix) and "fullview-XXXXXX",
// an answer spool that lives unnamed where the file system allows. Each "XXXXXX" is six letters or
// digits chosen when the entry is made; a name that differs in any way is not one of ours.
//
// The working entries (chunk directories, download copies, session download files) are held
// under an exclusive advisory lock (tq::tryLockExclusive) for as long as a live process uses
// them, so that what a killed process left can be told from what another process is using.
// Everything here is safe from any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TQLibraryFiles {

enum class Kind {
  Store,            // the store file itself
  StoreCompanion,   // its "-wal", "-shm" or "-journal" file
  ChunkDirectory,   // an upload's chunk files
  DownloadCopy,     // a download being copied into Documents
  SessionDownload,  // a download task's body as it arrives
  AnswerSpool,      // a large answer's body
};

inline constexpr std::string_view kStoreFileName = "TQCloudDB.sqlite";

std::filesystem::path storePath(const std::filesystem::path& documents);
// Every file SQLite keeps for the store: the database and its log, shared memory and journal.
std::vector<std::filesystem::path> storeFiles(const std::filesystem::path& documents);

// Templates for mkdtemp/mkstemp: the directory followed by the kind's name with "XXXXXX".
std::string chunkDirectoryTemplate(const std::filesystem::path& documents);
std::string downloadCopyTemplate(const std::filesystem::path& documents);
std::string answerSpoolTemplate(const std::filesystem::path& temporary);

// The kind of entry `name` (one path component) is, when the library makes entries of that
// name; nullopt for every other name, which the library must treat as the host's.
std::optional<Kind> parse(std::string_view name);

// Removes the working entries that no live process holds: chunk directories and download copies
// in `documents`, session downloads and answer spools in `temporary`. Only entries whose name
// parse() recognises and whose type fits the kind (never a link) are touched; the store and
// every other name are left alone. Returns how many entries were removed.
int removeLeftovers(const std::filesystem::path& documents, const std::filesystem::path& temporary);

// removeLeftovers() over the Environment's directories, the first time it is called in the
// process; later calls return at once. The facade calls it when it is first used.
void removeLeftoversOnce();

}  // namespace TQLibraryFiles
