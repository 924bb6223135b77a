#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"
#include "QuenlarCloudAPI/Platform/KeychainItemFormat.h"
#include "tests/Keychain/KeychainTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using keychaintest::LogCapture;
using keychaintest::modeOf;
using keychaintest::namesIn;

constexpr char kSecret[] = "SECRET-DATA-7f3a";

tq::KeychainItem itemWith(const std::string& account, const std::string& data = kSecret) {
  return {{{"account", account}, {"generic", "id"}}, data};
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class KeychainFileBackendTest : public ::testing::Test {
 protected:
  fs::path dir() const { return temp_.path() / "nested" / "Keychain"; }
  fs::path itemPath(const std::string& identifier) const {
    return dir() / tq::KeychainFileBackend::fileNameForIdentifier(identifier);
  }

  testsupport::TemporaryDirectory temp_;
  LogCapture log_;
  tq::KeychainFileBackend backend_{dir()};
};

TEST_F(KeychainFileBackendTest, OperationsAnswerThePlatformStatuses) {
  tq::KeychainItem found;
  const struct {
    const char* reason;
    std::function<tq::KeychainStatus()> operation;
    tq::KeychainStatus expected;
  } steps[] = {
      {"find on an empty keychain", [&] { return backend_.find("id", found); },
       tq::kKeychainItemNotFound},
      {"update of an absent item", [&] { return backend_.update("id", itemWith("a")); },
       tq::kKeychainItemNotFound},
      {"remove of an absent item", [&] { return backend_.remove("id"); },
       tq::kKeychainItemNotFound},
      {"first add", [&] { return backend_.add("id", itemWith("a")); }, tq::kKeychainSuccess},
      {"second add of the same identifier", [&] { return backend_.add("id", itemWith("b")); },
       tq::kKeychainDuplicateItem},
      {"update of the stored item", [&] { return backend_.update("id", itemWith("c")); },
       tq::kKeychainSuccess},
      {"remove of the stored item", [&] { return backend_.remove("id"); }, tq::kKeychainSuccess},
      {"find after remove", [&] { return backend_.find("id", found); }, tq::kKeychainItemNotFound},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(step.operation(), step.expected) << step.reason;
  }
}

TEST_F(KeychainFileBackendTest, ItemsSurviveInTheDirectoryWithPrivateModes) {
  ASSERT_EQ(backend_.add("id", itemWith("a")), tq::kKeychainSuccess);
  EXPECT_EQ(modeOf(dir()), 0700);
  EXPECT_EQ(modeOf(dir().parent_path()), 0700) << "missing parents are private too";
  EXPECT_EQ(modeOf(itemPath("id")), 0600);
  ASSERT_EQ(backend_.update("id", itemWith("b", "")), tq::kKeychainSuccess);
  EXPECT_EQ(modeOf(itemPath("id")), 0600);
  EXPECT_EQ(namesIn(dir()).size(), 1U) << "no temporary file stays behind";

  tq::KeychainFileBackend another(dir());  // as a later process would
  tq::KeychainItem found;
  ASSERT_EQ(another.find("id", found), tq::kKeychainSuccess);
  EXPECT_EQ(found, itemWith("b", ""));
}

TEST_F(KeychainFileBackendTest, UpdateReplacesTheFileInsteadOfRewritingIt) {
  ASSERT_EQ(backend_.add("id", itemWith("old")), tq::kKeychainSuccess);
  // A reader holding the old file must still see it whole: the new item comes by rename.
  const int oldFile = ::open(itemPath("id").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(oldFile, 0);
  struct stat before {};
  ASSERT_EQ(::fstat(oldFile, &before), 0);

  ASSERT_EQ(backend_.update("id", itemWith("new")), tq::kKeychainSuccess);
  std::string oldBytes(static_cast<size_t>(before.st_size), '\0');
  ASSERT_EQ(::pread(oldFile, oldBytes.data(), oldBytes.size(), 0), before.st_size);
  ::close(oldFile);
  EXPECT_EQ(tq::decodeKeychainItem(oldBytes, "id"), itemWith("old"));

  struct stat after {};
  ASSERT_EQ(::stat(itemPath("id").c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
}

TEST_F(KeychainFileBackendTest, UnacceptableFilesCountAsAbsentAndAreLoggedWithoutContents) {
  const fs::path outside = temp_.path() / "outside-item";
  const auto validBytes = tq::encodeKeychainItem("id", itemWith("a"));
  const struct {
    const char* reason;
    std::function<void(const fs::path& at)> plant;
    const char* logged;
  } cases[] = {
      {"a link to a valid item file",
       [&](const fs::path& at) {
         writeBytes(outside, validBytes);
         fs::create_symlink(outside, at);
       },
       "it is a link"},
      {"a FIFO (must not hang the read)",
       [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }, "not a regular file"},
      {"a directory", [](const fs::path& at) { fs::create_directory(at); }, "not a regular file"},
      {"an oversized file",
       [&](const fs::path& at) {
         writeBytes(at,
                    validBytes + std::string(tq::KeychainFileBackend::kMaximumItemFileSize, 'x'));
       },
       "larger"},
      {"an empty file", [](const fs::path& at) { writeBytes(at, ""); }, "corrupt"},
      {"a truncated file",
       [&](const fs::path& at) { writeBytes(at, validBytes.substr(0, validBytes.size() - 1)); },
       "corrupt"},
      {"a flipped byte",
       [&](const fs::path& at) {
         auto bytes = validBytes;
         bytes[20] = static_cast<char>(bytes[20] ^ 1);
         writeBytes(at, bytes);
       },
       "corrupt"},
      {"trailing bytes", [&](const fs::path& at) { writeBytes(at, validBytes + "x"); }, "corrupt"},
      {"another item's file copied under this name",
       [](const fs::path& at) { writeBytes(at, tq::encodeKeychainItem("other", itemWith("a"))); },
       "corrupt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ASSERT_EQ(backend_.add("warm-up", itemWith("w")), tq::kKeychainSuccess);  // directory exists
    const fs::path at = itemPath("id");
    c.plant(at);
    log_.clear();

    tq::KeychainItem found;
    EXPECT_EQ(backend_.find("id", found), tq::kKeychainItemNotFound);
    EXPECT_EQ(backend_.update("id", itemWith("b")), tq::kKeychainItemNotFound);
    EXPECT_TRUE(log_.contains(c.logged)) << log_.text();
    EXPECT_TRUE(log_.contains(at.filename().string())) << "the log names the file";
    EXPECT_FALSE(log_.contains(kSecret));

    if (!fs::is_directory(fs::symlink_status(at))) {
      // An add replaces what counted as absent; a link is replaced, its target left alone.
      EXPECT_EQ(backend_.add("id", itemWith("c")), tq::kKeychainSuccess);
      ASSERT_EQ(backend_.find("id", found), tq::kKeychainSuccess);
      EXPECT_EQ(found, itemWith("c"));
      EXPECT_EQ(modeOf(at), 0600);
    }
    if (fs::exists(outside)) {
      EXPECT_EQ(readBytes(outside), validBytes);
    }
    fs::remove_all(dir());
    fs::remove(outside);
  }
}

TEST_F(KeychainFileBackendTest, FilesAndDirectoriesOfOtherUsersAreRefused) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "changing owners needs root";
  }
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(backend_.add("id", itemWith("a")), tq::kKeychainSuccess);
  ASSERT_EQ(::chown(itemPath("id").c_str(), kNobody, kNobody), 0);
  tq::KeychainItem found;
  EXPECT_EQ(backend_.find("id", found), tq::kKeychainItemNotFound);
  EXPECT_TRUE(log_.contains("belongs to another user"));

  ASSERT_EQ(::chown(dir().c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(backend_.add("other", itemWith("a")), tq::kKeychainIOError);
  EXPECT_TRUE(log_.contains("directory " + dir().string() + " belongs to another user"));
  EXPECT_FALSE(log_.contains(kSecret));
}

TEST_F(KeychainFileBackendTest, ADirectoryOpenToOthersOrALinkIsNotUsed) {
  const struct {
    const char* reason;
    std::function<void()> prepare;
  } cases[] = {
      {"group and others may read it",
       [&] {
         fs::create_directories(dir());
         fs::permissions(dir(), fs::perms(0755));
       }},
      {"the directory is a link to a private directory",
       [&] {
         fs::create_directories(dir().parent_path());
         const fs::path real = temp_.path() / "real";
         fs::create_directory(real);
         fs::permissions(real, fs::perms(0700));
         fs::create_directory_symlink(real, dir());
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    fs::remove_all(temp_.path() / "nested");
    fs::remove_all(temp_.path() / "real");
    c.prepare();
    tq::KeychainItem found;
    EXPECT_EQ(backend_.add("id", itemWith("a")), tq::kKeychainIOError);
    EXPECT_EQ(backend_.find("id", found), tq::kKeychainIOError);
    EXPECT_TRUE(namesIn(dir()).empty()) << "nothing is written into it";
  }
}

TEST_F(KeychainFileBackendTest, NoIdentifierReachesOutsideTheDirectory) {
  const std::string identifiers[] = {
      "../escape", "../../../../../../tmp/escape", "/etc/passwd",          "a/b", ".",
      "..",        std::string("nul\0byte", 8),    std::string(5000, 'x'),
  };
  for (const auto& identifier : identifiers) {
    ASSERT_EQ(backend_.add(identifier, itemWith(identifier)), tq::kKeychainSuccess) << identifier;
    tq::KeychainItem found;
    ASSERT_EQ(backend_.find(identifier, found), tq::kKeychainSuccess);
    EXPECT_EQ(found, itemWith(identifier));
  }
  EXPECT_EQ(namesIn(temp_.path()), std::vector<std::string>{"nested"});
  EXPECT_EQ(namesIn(dir().parent_path()), std::vector<std::string>{"Keychain"});
  const auto names = namesIn(dir());
  EXPECT_EQ(names.size(), std::size(identifiers));
  for (const auto& name : names) {
    EXPECT_EQ(name.size(), 64U) << name;
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), std::string::npos) << name;
  }
}

TEST_F(KeychainFileBackendTest, AnItemTooLargeForAFileIsRefusedBeforeWriting) {
  const auto large = itemWith("a", std::string(tq::KeychainFileBackend::kMaximumItemFileSize, 'x'));
  EXPECT_EQ(backend_.add("id", large), tq::kKeychainParameterError);
  tq::KeychainItem found;
  EXPECT_EQ(backend_.find("id", found), tq::kKeychainItemNotFound);
}

}  // namespace
