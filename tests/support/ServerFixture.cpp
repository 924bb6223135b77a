#include "tests/support/ServerFixture.h"

#include <fstream>

#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "testserver/AccountRoutes.h"
#include "testserver/CloudRoutes.h"

namespace testsupport {
namespace {

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string escapeXML(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string quoteStrings(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

void ServerFixture::SetUp() {
  log_.emplace();
  server_ = std::make_unique<testserver::TestServer>();
  testserver::installCloudRoutes(*server_);
  testserver::installAccountRoutes(*server_);

  std::filesystem::create_directories(libraryBundleDirectory());
  std::filesystem::create_directories(mainBundleDirectory());
  writeFile(libraryBundleDirectory() / "Info.plist",
            plistText({{"CFBundleIdentifier", "com.quenlar.QuenlarCloudAPI"},
                       {"CFBundleShortVersionString", "1.9"}}));
  writeServerSettings(server_->baseURL());
  writeFile(mainBundleDirectory() / "Info.plist",
            plistText({{"CFBundleIdentifier", "com.example.TestHost"},
                       {"CFBundleName", "TestHost"},
                       {"CFBundleShortVersionString", "2.0"}}));
  useDirectoriesUnder(root());
}

void ServerFixture::useDirectoriesUnder(const std::filesystem::path& root) {
  tq::Bundle::setLibraryBundlePath(root / kLibraryBundle);
  tq::Bundle::setMainBundlePath(root / kMainBundle);
  tq::Environment::setDocumentsDirectory(root / kDocuments);
  tq::Environment::setTemporaryDirectory(root / kTemporary);
  tq::setKeychainDirectory(root / kKeychain);  // the "User-Agent" keeps a device ID there
}

void ServerFixture::TearDown() {
  for (const auto& call : TQAPISDK::sharedInstance()->apiArray().snapshot()) {
    call->cancelAPI();
  }
  drainMainQueue();
  server_.reset();
  log_.reset();
}

void ServerFixture::writeServerSettings(const std::optional<std::string>& baseURL) {
  std::vector<std::pair<std::string, std::string>> entries;
  if (baseURL) {
    entries.emplace_back("ServerBaseURL", *baseURL);
  }
  writeFile(libraryBundleDirectory() / "ServerSettings.plist", plistText(entries));
}

void ServerFixture::writeMainBundleStrings(
    const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text;
  for (const auto& [key, value] : entries) {
    text += quoteStrings(key) + " = " + quoteStrings(value) + ";\n";
  }
  writeFile(mainBundleDirectory() / "Localizable.strings", text);
}

void ServerFixture::signIn(const std::string& accessToken) {
  auto tokens = std::make_shared<TQAuthenticationResponse>();
  tokens->setAccessToken(accessToken);
  tokens->setRefreshToken("test-refresh-token");
  TQAPISDK::sharedInstance()->setAuthenticationCredetials(std::move(tokens));
}

void ServerFixture::drainMainQueue() {
  tq::mainQueue().sync([] {});
}

std::vector<std::string> ServerFixture::systemLogLines() const {
  return log_ ? log_->lines() : std::vector<std::string>();
}

std::string ServerFixture::plistText(
    const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n";
  for (const auto& [key, value] : entries) {
    text += "  <key>" + escapeXML(key) + "</key>\n  <string>" + escapeXML(value) + "</string>\n";
  }
  return text + "</dict>\n</plist>\n";
}

}  // namespace testsupport
