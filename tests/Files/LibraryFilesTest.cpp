// The names of the library's own files, and the removal of what a killed process left: nothing
// but those names, of the right type, and only when no live holder has them locked.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Platform/FileSystem.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Kind = TQLibraryFiles::Kind;

TEST(LibraryFilesTest, OnlyTheNamesTheLibraryMakesAreRecognised) {
  const struct {
    const char* name;
    std::optional<Kind> kind;
  } cases[] = {
      {"TQCloudDB.sqlite", Kind::Store},
      {"TQCloudDB.sqlite-wal", Kind::StoreCompanion},
      {"TQCloudDB.sqlite-shm", Kind::StoreCompanion},
      {"TQCloudDB.sqlite-journal", Kind::StoreCompanion},
      {".TQChunks-a1B2c3", Kind::ChunkDirectory},
      {".download-Zz09Aa", Kind::DownloadCopy},
      {"URLSessionDownload-q7W8e9", Kind::SessionDownload},
      {"fullview-000000", Kind::AnswerSpool},
      // The host's, however close: another case, a suffix, a placeholder of another length or
      // with a character mkstemp never picks.
      {"tqclouddb.sqlite", std::nullopt},
      {".TQCloudDB.sqlite", std::nullopt},
      {"TQCloudDB.sqlite-bak", std::nullopt},
      {"TQCloudDB (2).sqlite", std::nullopt},
      {".TQChunks-abc12", std::nullopt},
      {".TQChunks-abc1234", std::nullopt},
      {".TQChunks-abc-12", std::nullopt},
      {".TQChunks-a1B2c3 (2)", std::nullopt},
      {".download-report.pdf", std::nullopt},
      {".URLSessionDownload-q7W8e9", std::nullopt},
      {"fullview-\xC3\xA9\xC3\xA9\xC3\xA9", std::nullopt},
      {".hidden", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQLibraryFiles::parse(c.name), c.kind) << '"' << c.name << '"';
  }
}

void touch(const fs::path& path) { std::ofstream(path) << "x"; }

TEST(LibraryFilesTest, LeftoversGoAndEverythingElseStays) {
  const testsupport::TemporaryDirectory root;
  const fs::path documents = root.path() / "Documents";
  const fs::path temporary = root.path() / "tmp";
  fs::create_directories(documents);
  fs::create_directories(temporary);

  // A live process's entries, held as the library holds them until it closes them.
  std::string liveChunks;
  std::string liveDownload;
  auto chunksLock =
      tq::makeLockedDirectory(TQLibraryFiles::chunkDirectoryTemplate(documents), liveChunks);
  auto downloadLock =
      tq::makeLockedFile((temporary / "URLSessionDownload-XXXXXX").string(), liveDownload);
  ASSERT_TRUE(chunksLock.valid());
  ASSERT_TRUE(downloadLock.valid());

  const struct {
    fs::path path;
    bool directory;
    bool removed;
    const char* reason;
  } cases[] = {
      {documents / ".TQChunks-Ab12Cd", true, true, "a killed upload's chunks"},
      {documents / ".download-Ab12Cd", false, true, "a killed download's copy"},
      {temporary / "URLSessionDownload-Ab12Cd", false, true, "a killed download's body"},
      {temporary / "fullview-Ab12Cd", false, true, "a spool never unlinked"},
      {liveChunks, true, false, "a live upload's chunks"},
      {liveDownload, false, false, "a live download's body"},
      {documents / "TQCloudDB.sqlite", false, false, "the store"},
      {documents / "TQCloudDB.sqlite-wal", false, false, "the store's log"},
      {documents / ".TQChunks-Ab12Cd-mine", true, false, "a host directory with a like name"},
      {documents / ".download-Ab12", false, false, "a host dot-file with a like name"},
      {documents / ".hidden", false, false, "a host dot-file"},
      {documents / "notes.txt", false, false, "a host file"},
      {documents / ".TQChunks-Fi1e00", false, false, "a file where a directory is made"},
      {documents / ".download-D1r000", true, false, "a directory where a file is made"},
      {documents / "fullview-Ab12Cd", false, false, "a spool's name outside its directory"},
      {temporary / ".TQChunks-Ab12Cd", true, false, "chunks' name outside their directory"},
  };
  for (const auto& c : cases) {
    if (!fs::exists(c.path)) {
      if (c.directory) {
        fs::create_directory(c.path);
        touch(c.path / "chunk(1)");
      } else {
        touch(c.path);
      }
    }
  }
  // A link at one of our names is never followed, nor removed.
  fs::create_directory(root.path() / "host");
  touch(root.path() / "host" / "kept");
  fs::create_directory_symlink(root.path() / "host", documents / ".TQChunks-L1nk00");

  EXPECT_EQ(TQLibraryFiles::removeLeftovers(documents, temporary), 4);
  for (const auto& c : cases) {
    EXPECT_EQ(fs::exists(fs::symlink_status(c.path)), !c.removed) << c.reason;
  }
  EXPECT_TRUE(fs::is_symlink(documents / ".TQChunks-L1nk00"));
  EXPECT_TRUE(fs::exists(root.path() / "host" / "kept"));

  EXPECT_TRUE(chunksLock.close());
  EXPECT_TRUE(downloadLock.close());
  EXPECT_EQ(TQLibraryFiles::removeLeftovers(documents, temporary), 2) << "once closed, both go";
  EXPECT_FALSE(fs::exists(liveChunks));
  EXPECT_FALSE(fs::exists(liveDownload));
}

}  // namespace
