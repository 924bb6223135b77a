// Setting the library up for a benchmark: its bundle (naming the server to use), Documents,
// temporary directory and keychain inside one directory of the benchmark's own, and a signed-in
// facade.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace bench {

// The bearer token setUpLibrary() signs in with, for a reference that asks the same server.
inline constexpr const char* kAccessToken = "bench-access-token";

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string plist(const std::string& key, const std::string& value) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>" + key +
         "</key><string>" + value + "</string></dict></plist>\n";
}

// Points the library's bundle, Documents, temporary directory and keychain into `root` (the
// keychain never lands in the user's own) and signs in with the benchmarks' access token.
inline void setUpLibrary(const std::filesystem::path& root, const std::string& baseURL) {
  std::filesystem::create_directories(root / "Library.bundle");
  writeText(root / "Library.bundle" / "Info.plist",
            plist("CFBundleIdentifier", "com.quenlar.QuenlarCloudAPI"));
  writeText(root / "Library.bundle" / "ServerSettings.plist", plist("ServerBaseURL", baseURL));
  tq::Bundle::setLibraryBundlePath(root / "Library.bundle");
  tq::Environment::setDocumentsDirectory(root / "Documents");
  tq::Environment::setTemporaryDirectory(root / "tmp");
  tq::setKeychainDirectory(root / "Keychain");
  auto tokens = std::make_shared<TQAuthenticationResponse>();
  tokens->setAccessToken(kAccessToken);
  TQAPISDK::sharedInstance()->setAuthenticationCredetials(tokens);
}

}  // namespace bench
