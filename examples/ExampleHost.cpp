// A small host program. In a fresh WORK_DIR it signs in through the sign-in page (a headless web
// view that approves the page the way a user's click would), reads the account, lists the first
// contacts of the address book by last name and keeps the sign-in. Run again with the same
// WORK_DIR, it restores the sign-in from the keychain files there, reads the account, lists the
// contacts and logs out. scripts/demo runs it twice against the test server.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
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
    std::fprintf(stderr, "usage: %s BASE_URL WORK_DIR\n", argv[0]);
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
  return signIn(*facade, window) && readAccount(*facade) && listContacts(*facade) ? 0 : 1;
}
