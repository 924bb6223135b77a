#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/Device.h"
#include "QuenlarCloudAPI/Platform/Environment.h"

namespace {

namespace fs = std::filesystem;

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "EnvironmentTest-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    for (const char* name : {"TMPDIR", "XDG_DATA_HOME"}) {
      const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): no threads yet
      saved_.emplace_back(name,
                          value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      // NOLINTNEXTLINE(concurrency-mt-unsafe): the test's threads are gone
      value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    fs::remove_all(dir_);
  }

  static bool isPrivateDirectory(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 0777) == 0700;
  }

  fs::path dir_;
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST_F(EnvironmentTest, HostDirectoriesAreCreatedAndMayBeReset) {
  tq::Environment::setDocumentsDirectory(dir_ / "a" / "Documents");
  tq::Environment::setTemporaryDirectory(dir_ / "tmp");
  EXPECT_EQ(tq::Environment::documentsDirectory(), dir_ / "a" / "Documents");
  EXPECT_TRUE(isPrivateDirectory(dir_ / "a" / "Documents"));
  EXPECT_TRUE(isPrivateDirectory(dir_ / "a")) << "missing parents are created private too";
  EXPECT_EQ(tq::Environment::temporaryDirectory(), dir_ / "tmp");
  EXPECT_TRUE(isPrivateDirectory(dir_ / "tmp"));

  tq::Environment::setDocumentsDirectory(dir_ / "b");
  EXPECT_EQ(tq::Environment::documentsDirectory(), dir_ / "b");
  fs::remove(dir_ / "b");
  EXPECT_EQ(tq::Environment::documentsDirectory(), dir_ / "b");
  EXPECT_TRUE(fs::is_directory(dir_ / "b")) << "created again when removed";
}

TEST_F(EnvironmentTest, DefaultsFollowTheUsersDirectories) {
  // Each test runs in its own process (gtest_discover_tests), so the defaults are still unset.
  ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  ::setenv("TMPDIR", dir_.c_str(), 1);                    // NOLINT(concurrency-mt-unsafe)
  EXPECT_EQ(tq::Environment::documentsDirectory(), dir_ / "data" / "QuenlarCloudAPI" / "Documents");
  const auto expectedTemporary = dir_ / ("QuenlarCloudAPI-" + std::to_string(::geteuid()));
  EXPECT_EQ(tq::Environment::temporaryDirectory(), expectedTemporary);
  EXPECT_TRUE(isPrivateDirectory(expectedTemporary));
}

TEST_F(EnvironmentTest, DefaultTemporaryDirectoryIsNeverOneWeDoNotOwn) {
  ::setenv("TMPDIR", dir_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  const auto wellKnown = dir_ / ("QuenlarCloudAPI-" + std::to_string(::geteuid()));
  // Someone planted a link at the well-known name, pointing where our files must not go.
  fs::create_directory(dir_ / "elsewhere");
  fs::create_directory_symlink(dir_ / "elsewhere", wellKnown);

  const auto temporary = tq::Environment::temporaryDirectory();
  EXPECT_NE(temporary, wellKnown);
  EXPECT_TRUE(isPrivateDirectory(temporary));
  EXPECT_EQ(temporary.parent_path(), dir_);
  EXPECT_EQ(tq::Environment::temporaryDirectory(), temporary) << "the same one afterwards";
}

TEST(Device, SystemFieldsAndCarrierToken) {
  struct utsname info {};
  ASSERT_EQ(::uname(&info), 0);
  EXPECT_EQ(tq::Device::systemName(), info.sysname);
  EXPECT_EQ(tq::Device::systemVersion(), info.release);
  EXPECT_EQ(tq::Device::machine(), info.machine);

  EXPECT_EQ(tq::Device::carrierToken(), std::nullopt) << "no provider by default";
  tq::Device::setCarrierTokenProvider([] { return std::optional<std::string>("5551234567TOKEN"); });
  EXPECT_EQ(tq::Device::carrierToken(), "5551234567TOKEN");
  tq::Device::setCarrierTokenProvider(nullptr);
  EXPECT_EQ(tq::Device::carrierToken(), std::nullopt) << "an empty provider removes it";
}

}  // namespace
