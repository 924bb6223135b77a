// A small host program. In a fresh WORK_DIR it signs in through the sign-in page (a headless web
// view that approves the page the way a user's click would), reads the account, lists the first
// contacts of the address book by last name, downloads the file at DOWNLOAD_PATH (when given)
// with a progress bar on the terminal, and keeps the sign-in. Run again with the same WORK_DIR, it
// restores the sign-in from the keychain files there, reads the account, lists the contacts and
// logs out. scripts/demo runs it twice against the test server.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Model/TQOAuthLoginPageResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/HeadlessWebView.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace fs = std::filesystem;

namespace {

// The host's window: it has nothing to show, so presenting and dismissing only complete.
class Window final : public tq::SignInPresenter {
 public:
  void presentViewController(std::shared_ptr<tq::SignInPage> page, bool /*animated*/,
                             std::function<void()> completion) override {
    page_ = std::move(page);
    if (completion) {
      completion();
    }
  }
  void dismissViewControllerAnimated(bool /*animated*/, std::function<void()> completion) override {
    page_.reset();
    if (completion) {
      completion();
    }
  }

 private:
  std::shared_ptr<tq::SignInPage> page_;
};

void writeFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body +
         "</dict>\n</plist>\n";
}

// The library's bundle, pointing the library at the server.
void prepareLibrary(const std::string& baseURL, const fs::path& work) {
  const fs::path bundle = work / "QuenlarCloudAPI.bundle";
  fs::create_directories(bundle);
  writeFile(bundle / "Info.plist",
            plist("<key>CFBundleIdentifier</key><string>com.quenlar.QuenlarCloudAPI</string>\n"
                  "<key>CFBundleShortVersionString</key><string>1.9</string>\n"));
  writeFile(bundle / "ServerSettings.plist",
            plist("<key>ServerBaseURL</key><string>" + baseURL + "</string>\n"));
  tq::Bundle::setLibraryBundlePath(bundle);
  tq::Environment::setDocumentsDirectory(work / "Documents");
  tq::setKeychainDirectory(work / "Keychain");
}

bool signIn(TQAPISDK& facade, const std::shared_ptr<Window>& window) {
  tq::setSignInSceneFactory([] {
    auto view = tq::HeadlessWebView::create();
    view->setLoadObserver([](tq::HeadlessWebView& page, const tq::HeadlessWebView::LoadEvent&) {
      page.followLink("approve");
    });
    return tq::SignInScene{view, nullptr};
  });
  std::promise<bool> done;
  facade.authenticateClient(
      TQClientCredentials::initWithClientID("example-client", "example-secret",
                                            "quenlar-example://signed-in", "example-keychain"),
      window,
      [&done](const std::shared_ptr<TQAuthenticationResponse>& tokens,
              const std::shared_ptr<TQOAuthLoginPageResponse>& page,
              const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
        const bool signedIn = tokens && tokens->isAuthenticated();
        std::printf("signed in: %s (page: %s)\n", signedIn ? "yes" : "no",
                    page && page->response() ? "answered" : "none");
        done.set_value(signedIn);
      });
  return done.get_future().get();
}

bool readAccount(TQAPISDK& facade) {
  std::promise<bool> done;
  facade.fetchAccountInfo([&done](const std::shared_ptr<TQAccountInfo>& account,
                                  const std::shared_ptr<TQAPIQueryResponse>& response) {
    if (account) {
      std::printf("account %s (%s): %lld of %lld bytes used\n", account->ID().value_or("?").c_str(),
                  account->alias().value_or("?").c_str(),
                  static_cast<long long>(account->quotaUsed()),
                  static_cast<long long>(account->quota()));
    } else {
      std::printf("account: status %d\n", response->statusCode());
    }
    done.set_value(account != nullptr);
  });
  return done.get_future().get();
}

// Draws "[#####.....]  42%  3.4 of 8.0 MiB" over itself; only the byte count while the length is
// unknown. Redraws only when the text changes, so a fast download does not flood the terminal.
class ProgressBar {
 public:
  void draw(int64_t written, int64_t expected) {
    constexpr int kWidth = 40;
    constexpr double kMiB = 1024.0 * 1024.0;
    char line[128];
    if (expected > 0) {
      const int64_t done = std::min(written, expected);
      const int filled = static_cast<int>(done * kWidth / expected);
      std::string bar(static_cast<size_t>(filled), '#');
      bar.append(static_cast<size_t>(kWidth - filled), '.');
      std::snprintf(line, sizeof line, "[%s] %3d%%  %.1f of %.1f MiB", bar.c_str(),
                    static_cast<int>(done * 100 / expected), static_cast<double>(written) / kMiB,
                    static_cast<double>(expected) / kMiB);
    } else {
      std::snprintf(line, sizeof line, "%.1f MiB", static_cast<double>(written) / kMiB);
    }
    if (line != last_) {
      last_ = line;
      std::printf("\r%s", line);
      std::fflush(stdout);
    }
  }

 private:
  std::string last_;
};

// Downloads the file at `path` with a progress bar and keeps a copy in `keepIn`: the library
// deletes its download file once the call object is gone.
bool downloadWithProgressBar(TQAPISDK& facade, const std::string& path, const fs::path& keepIn) {
  auto params = std::make_shared<TQFilesAPIParams>();
  params->path = path;
  auto bar = std::make_shared<ProgressBar>();
  std::promise<bool> done;
  std::printf("downloading %s\n", path.c_str());
  facade.downloadFile(
      params, [bar](int64_t written, int64_t expected) { bar->draw(written, expected); },
      [&done, &keepIn](const std::shared_ptr<TQAPIQueryResponse>& response) {
        std::printf("\n");
        const auto file = response->downloadedURL();
        if (response->statusCode() != 200 || !file) {
          std::printf("download: status %d\n", response->statusCode());
          done.set_value(false);
          return;
        }
        std::error_code error;
        const auto size = fs::file_size(file->path(), error);
        const fs::path kept = keepIn / file->lastPathComponent();
        if (!error) {
          fs::create_directories(keepIn, error);
          fs::copy_file(file->path(), kept, fs::copy_options::overwrite_existing, error);
        }
        std::printf("downloaded %llu bytes, kept as %s\n", static_cast<unsigned long long>(size),
                    error ? "nothing" : kept.c_str());
        done.set_value(!error);
      });
  return done.get_future().get();
}

bool listContacts(TQAPISDK& facade) {
  auto params = std::make_shared<TQContactAPIParams>();
  params->page = 1;
  params->count = 10;
  params->setSortKey(TQContactSortKeyLastName, true);
  std::promise<bool> done;
  facade.fetchContacts(
      params, [&done](const std::optional<std::vector<std::shared_ptr<TQContact>>>& contacts,
                      const std::shared_ptr<TQAPIQueryResponse>& response) {
        if (!contacts) {
          std::printf("contacts: status %d\n", response->statusCode());
          done.set_value(false);
          return;
        }
        std::printf("contacts by last name:");
        for (const auto& contact : *contacts) {
          std::printf(" %s %s;", contact->firstName().value_or("").c_str(),
                      contact->lastName().value_or("").c_str());
        }
        std::printf(" (%zu)\n", contacts->size());
        done.set_value(true);
      });
  return done.get_future().get();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s BASE_URL WORK_DIR [DOWNLOAD_PATH]\n", argv[0]);
    return 2;
  }
  prepareLibrary(argv[1], argv[2]);
  const auto facade = TQAPISDK::sharedInstance();

  if (facade->isUserLoggedIn()) {
    std::printf("restored the sign-in of %s from the keychain\n",
                facade->fetchClientID().value_or("?").c_str());
    const bool read = readAccount(*facade) && listContacts(*facade);
    std::printf("logged out: %s\n", facade->logout() ? "yes" : "no");
    return read ? 0 : 1;
  }
  // The window outlives the sign-in: it holds the page it shows.
  const auto window = std::make_shared<Window>();
  if (!signIn(*facade, window) || !readAccount(*facade) || !listContacts(*facade)) {
    return 1;
  }
  return argc < 4 || downloadWithProgressBar(*facade, argv[3], fs::path(argv[2]) / "Downloads") ? 0
                                                                                                : 1;
}
