// A host built against an installed QuenlarCloudAPI, by find_package and by pkg-config: it reads
// the installed bundle's server settings and asks whether a user is signed in, which reaches the
// keychain files, the facade and the dependencies the library links, and prints the library's
// version from its installed header and exported constants.
#include <cstdio>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/QuenlarCloudAPIVersion.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

int main() {
  const auto baseURL = TQAPI::getServerBaseURL();
  if (!baseURL) {
    std::fprintf(stderr, "the installed bundle's server settings were not found\n");
    return 1;
  }
  const bool signedIn = TQAPISDK::sharedInstance()->isUserLoggedIn();
  std::printf("QuenlarCloudAPI %s (%.0f), server %s, signed in: %s\n", QuenlarCloudAPIVersionString,
              QuenlarCloudAPIVersionNumber, baseURL->c_str(), signedIn ? "yes" : "no");
  return signedIn ? 1 : 0;  // nothing signed this host in
}
