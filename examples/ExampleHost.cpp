// A small host program. In a fresh WORK_DIR it signs in through the sign-in page (a headless web
// view that approves the page the way a user's click would), reads the account, lists the first
// contacts of the address book by last name, uploads a file with a progress bar and lists the
// folder that now holds it, downloads the file at DOWNLOAD_PATH (when given) with a progress bar
// on the terminal, and keeps the sign-in. Run again with the same WORK_DIR, it
// restores the sign-in from the keychain files there, reads the account, lists the contacts and
// logs out. scripts/demo runs it twice against the test server.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Model/TQOAuthLoginPageResponse.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/HeadlessWebView.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/QuenlarCloudAPIVersion.h"
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
                  "<key>CFBundleShortVersionString</key><string>" +
                  std::string(QuenlarCloudAPIVersionString) + "</string>\n"));
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
  facade.fetchAccountInfoWithCompletionHandler(
      [&done](const std::shared_ptr<TQAccountInfo>& account,
              const std::shared_ptr<TQAPIQueryResponse>& response) {
        if (account) {
          std::printf("account %s (%s): %lld of %lld bytes used\n",
                      account->ID().value_or("?").c_str(), account->alias().value_or("?").c_str(),
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

// ---- Upload ----

constexpr const char* kUploadFolder = "/Documents";
constexpr int64_t kUploadBytes = int64_t{12} << 20;  // large enough to go in chunks

std::string mebibytes(int64_t bytes) {
  char text[32];
  if (bytes < (1 << 20)) {
    std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  }
  return text;
}

// One line redrawn in place: a bar, the bytes sent, the percentage and the rate.
class UploadProgressBar {
 public:
  void operator()(TQUploadProgressState state, int64_t done, int64_t total) {
    if (state == TQUploadProgressStateStarted) {
      started_ = std::chrono::steady_clock::now();
      return;
    }
    if (state != TQUploadProgressStateUploading || total <= 0) {
      return;
    }
    constexpr int kWidth = 30;
    const double fraction = static_cast<double>(done) / static_cast<double>(total);
    const auto filled = static_cast<int>(fraction * kWidth);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds / (1 << 20) : 0;
    std::printf("\r[%s%s] %s / %s %3.0f%% %7.1f MiB/s", std::string(filled, '#').c_str(),
                std::string(kWidth - filled, '.').c_str(), mebibytes(done).c_str(),
                mebibytes(total).c_str(), fraction * 100, rate);
    std::fflush(stdout);
  }

 private:
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

bool uploadFile(TQAPISDK& facade, const fs::path& work) {
  const fs::path local = work / "holiday-video.bin";
  {
    std::ofstream out(local, std::ios::binary);
    std::string block(1 << 16, '\0');
    for (int64_t written = 0; written < kUploadBytes;
         written += static_cast<int64_t>(block.size())) {
      for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>((written + static_cast<int64_t>(i)) * 31 % 251);
      }
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
  }
  auto params = std::make_shared<TQUploadAPIParams>();
  params->path = kUploadFolder;
  params->name = local.filename().string();
  std::printf("uploading %s (%s) to %s\n", params->name.c_str(), mebibytes(kUploadBytes).c_str(),
              kUploadFolder);
  std::promise<bool> done;
  facade.uploadFile(
      params, local.string(), UploadProgressBar(),
      [&done](const std::shared_ptr<TQMetadata>& file,
              const std::shared_ptr<TQAPIQueryResponse>& response) {
        std::printf("\n");
        if (file) {
          std::printf("stored %s, version %lld\n", file->fullPath().value_or("?").c_str(),
                      static_cast<long long>(file->version() ? file->version()->int64Value() : 0));
        } else {
          const auto error = response->error();
          std::printf("upload failed: status %d %s\n", response->statusCode(),
                      error ? error->localizedDescription().c_str() : "");
        }
        done.set_value(file != nullptr);
      });
  return done.get_future().get();
}

bool listFolder(TQAPISDK& facade) {
  auto params = std::make_shared<TQMetaDataAPIParams>();
  params->path = kUploadFolder;
  std::promise<bool> done;
  facade.fetchMetadata(params, [&done](const std::shared_ptr<TQMetadata>& listing,
                                       const std::shared_ptr<TQAPIQueryResponse>& response) {
    if (!listing) {
      std::printf("listing: status %d\n", response->statusCode());
      done.set_value(false);
      return;
    }
    std::printf("%s now holds:\n", listing->fullPath().value_or("?").c_str());
    for (const auto& folder : listing->subFolders()) {
      std::printf("  %s/\n", folder->name().value_or("?").c_str());
    }
    for (const auto& file : listing->subFiles()) {
      std::printf("  %-24s %12s\n", file->name().value_or("?").c_str(),
                  mebibytes(file->size() ? file->size()->int64Value() : 0).c_str());
    }
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
  if (!signIn(*facade, window) || !readAccount(*facade) || !listContacts(*facade) ||
      !uploadFile(*facade, argv[2]) || !listFolder(*facade)) {
    return 1;
  }
  return argc < 4 || downloadWithProgressBar(*facade, argv[3], fs::path(argv[2]) / "Downloads") ? 0
                                                                                                : 1;
}
