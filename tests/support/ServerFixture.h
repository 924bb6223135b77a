// ServerFixture: the set-up every test of the request pipeline shares. Each test gets a fresh
// test server on loopback with the cloud's routes, a temporary library bundle whose
// ServerSettings.plist points at that server, a temporary main bundle (for string tables), and
// its own Documents, temporary and keychain directories. System-log lines are captured for
// inspection.
//
// Tests run one per process (gtest_discover_tests), so the library's singletons start fresh and
// take these paths on first use. A test waits for every handler it started; TearDown cancels the
// calls still live so that none reports into a finished test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"
#include "testserver/TestServer.h"

namespace testsupport {

class ServerFixture : public ::testing::Test {
 public:
  // Points the library at the bundles and directories under `root`, as SetUp does; for a test
  // program started by a test (testsupport::spawnTest), which shares that test's server and files.
  static void useDirectoriesUnder(const std::filesystem::path& root);
  // Gives the facade tokens with this access token, as a sign-in would.
  static void signIn(const std::string& accessToken = "test-access-token");

 protected:
  void SetUp() override;
  void TearDown() override;

  testserver::TestServer& server() { return *server_; }
  const std::filesystem::path& root() const { return directory_.path(); }
  std::filesystem::path documentsDirectory() const { return root() / kDocuments; }
  std::filesystem::path libraryBundleDirectory() const { return root() / kLibraryBundle; }
  std::filesystem::path mainBundleDirectory() const { return root() / kMainBundle; }
  std::filesystem::path keychainDirectory() const { return root() / kKeychain; }

  // Rewrites the library bundle's ServerSettings.plist; nullopt leaves "ServerBaseURL" out.
  void writeServerSettings(const std::optional<std::string>& baseURL);
  // Writes the main bundle's Localizable.strings with these translations.
  void writeMainBundleStrings(const std::vector<std::pair<std::string, std::string>>& entries);

  // Runs an empty block through the main queue, so that everything queued there before has run.
  static void drainMainQueue();

  // The lines written to the system log since SetUp.
  std::vector<std::string> systemLogLines() const;

  // An XML property list holding one dictionary of text values.
  static std::string plistText(const std::vector<std::pair<std::string, std::string>>& entries);

 private:
  static constexpr const char* kDocuments = "Documents";
  static constexpr const char* kLibraryBundle = "Library.bundle";
  static constexpr const char* kMainBundle = "Main.bundle";
  static constexpr const char* kKeychain = "Keychain";
  static constexpr const char* kTemporary = "tmp";

  TemporaryDirectory directory_;
  std::unique_ptr<testserver::TestServer> server_;
  // From SetUp to TearDown.
  std::optional<LogCapture> log_;
};

}  // namespace testsupport
