// The shared file helpers: making a directory path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "QuenlarCloudAPI/Platform/FileSystem.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(FileSystemTest, MakeDirectoriesAnswersWhetherADirectoryStandsThere) {
  const testsupport::TemporaryDirectory root;
  const fs::path& base = root.path();
  std::ofstream(base / "file") << "x";
  fs::create_directory(base / "real");
  fs::create_directory_symlink(base / "real", base / "link");
  fs::create_directory_symlink(base / "gone", base / "dangling");
  const struct {
    fs::path dir;
    bool made;
    const char* reason;
  } cases[] = {
      {base / "a" / "b" / "c", true, "missing parents are made"},
      {base / "real", true, "an existing directory"},
      {base / "link" / "inside", true, "a link to a directory in the path is followed"},
      {base / "file", false, "a file stands there"},
      {base / "file" / "below", false, "a file stands in the path"},
      {base / "dangling" / "below", false, "a link to nothing stands in the path"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tq::makeDirectories(c.dir), c.made) << c.reason;
    EXPECT_EQ(fs::is_directory(c.dir), c.made) << c.reason;
  }
  EXPECT_EQ(fs::status(base / "a" / "b").permissions() & fs::perms::all, fs::perms::owner_all);
}

}  // namespace
