// The set-up of the sign-in tests: the pipeline fixture (test server with the cloud's routes,
// bundles, Documents) plus keychain files in the test's directory, headless web views as the
// sign-in scene, a presenter that records what it is asked, and a few routes that check bearer
// tokens the way the service does, for the 401 road.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Model/TQOAuthLoginPageResponse.h"
#include "QuenlarCloudAPI/Platform/Device.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/HeadlessWebView.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/Platform/SignInUI.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/support/ServerFixture.h"
#include "testserver/OAuthState.h"

namespace signin {

inline constexpr const char* kClientID = "client-1";
inline constexpr const char* kClientSecret = "secret-1";
inline constexpr const char* kRedirect = "quenlar-test://signed-in";
inline constexpr const char* kKeychainID = "keychain-1";
inline constexpr const char* kDataPath = "/cloud/1/test/data";
inline constexpr const char* kDownloadPath = "/cloud/1/test/files/report.bin";
inline constexpr const char* kUploadPath = "/cloud/1/test/upload";
inline constexpr const char* kDownloadBody = "the report's bytes";

// A call to one of the fixture's routes: a resource call with the usual two headers.
class TQBearerTestAPIParams : public TQResourceAPIParams {
 public:
  std::string path = kDataPath;
  std::string method = "GET";

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQBearerTestAPIParams>();
  }
};

class TQBearerTestAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override {
    const auto params = validatedParams<TQBearerTestAPIParams>();
    setRequestURLString(serverBaseURLText() + params->path);
    setRequestHeaders(
        {{"Authorization", "Bearer " + params->accessToken}, {"Accept", "application/json"}});
    if (params->method != "GET") {
      setRequestMethod(params->method);
    }
  }
};

// The host's view controller: shows nothing, records what it is asked, completes at once.
class RecordingPresenter : public tq::SignInPresenter {
 public:
  void presentViewController(std::shared_ptr<tq::SignInPage> page, bool /*animated*/,
                             std::function<void()> completion) override {
    {
      std::lock_guard lock(mutex_);
      page_ = std::move(page);
      ++presented_;
    }
    if (completion) {
      completion();
    }
  }

  void dismissViewControllerAnimated(bool /*animated*/, std::function<void()> completion) override {
    {
      std::lock_guard lock(mutex_);
      ++dismissed_;
      dismissedOnMainQueue_ = tq::mainQueue().isCurrent();
      page_.reset();
    }
    if (completion) {
      completion();
    }
  }

  std::shared_ptr<tq::SignInPage> page() const {
    std::lock_guard lock(mutex_);
    return page_;
  }
  int presented() const {
    std::lock_guard lock(mutex_);
    return presented_;
  }
  int dismissed() const {
    std::lock_guard lock(mutex_);
    return dismissed_;
  }
  bool dismissedOnMainQueue() const {
    std::lock_guard lock(mutex_);
    return dismissedOnMainQueue_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<tq::SignInPage> page_;
  int presented_ = 0;
  int dismissed_ = 0;
  bool dismissedOnMainQueue_ = false;
};

// What a sign-in handler received, and where.
struct SignInReport {
  std::shared_ptr<TQAuthenticationResponse> tokens;
  std::shared_ptr<TQOAuthLoginPageResponse> page;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  int dismissedBefore = 0;
};

// Records every call of a sign-in handler; wait() waits for the first.
class SignInRecorder {
 public:
  explicit SignInRecorder(std::shared_ptr<RecordingPresenter> presenter = nullptr)
      : presenter_(std::move(presenter)) {}

  TQAuthCompletionHandler handler() {
    return [this](const std::shared_ptr<TQAuthenticationResponse>& tokens,
                  const std::shared_ptr<TQOAuthLoginPageResponse>& page,
                  const std::shared_ptr<TQAPIQueryResponse>& response) {
      SignInReport report{tokens, page, response, tq::mainQueue().isCurrent(),
                          presenter_ ? presenter_->dismissed() : 0};
      std::lock_guard lock(mutex_);
      reports_.push_back(std::move(report));
      changed_.notify_all();
    };
  }

  bool wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, testsupport::kTimeout, [this] { return !reports_.empty(); });
  }
  int calls() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(reports_.size());
  }
  SignInReport first() const {
    std::lock_guard lock(mutex_);
    return reports_.empty() ? SignInReport{} : reports_.front();
  }

 private:
  std::shared_ptr<RecordingPresenter> presenter_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SignInReport> reports_;
};

class CountingSpinner : public tq::ActivityIndicator {
 public:
  void startAnimating() override { ++starts; }
  void stopAnimating() override { ++stops; }
  std::atomic<int> starts{0};
  std::atomic<int> stops{0};
};

// Receives a call's outcome through the facade's single-call road.
class OutcomeRecorder {
 public:
  TQAPIResponseHandler handler() {
    return [this](const std::shared_ptr<TQAPIQueryResponse>& response) {
      std::lock_guard lock(mutex_);
      responses_.push_back(response);
      changed_.notify_all();
    };
  }
  bool wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, testsupport::kTimeout, [this] { return !responses_.empty(); });
  }
  int calls() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(responses_.size());
  }
  std::shared_ptr<TQAPIQueryResponse> first() const {
    std::lock_guard lock(mutex_);
    return responses_.empty() ? nullptr : responses_.front();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<TQAPIQueryResponse>> responses_;
};

class SignInFixture : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    tq::Device::setCarrierTokenProvider(nullptr);
    tq::setSignInSceneFactory([this] {
      auto view = tq::HeadlessWebView::create();
      view->setLoadObserver(
          [this](tq::HeadlessWebView& webView, const tq::HeadlessWebView::LoadEvent& event) {
            pageLoaded(webView, event);
          });
      std::lock_guard lock(mutex_);
      webViews_.push_back(view);
      return tq::SignInScene{view, spinner_};
    });
    installBearerRoutes();
  }

  void TearDown() override {
    tq::setSignInSceneFactory(nullptr);
    std::vector<std::shared_ptr<tq::HeadlessWebView>> views;
    {
      std::lock_guard lock(mutex_);
      views = webViews_;
    }
    for (const auto& view : views) {
      view->setLoadObserver(nullptr);
      view->stopLoading();
    }
    ServerFixture::TearDown();
  }

  testserver::OAuthState& oauth() { return server().state<testserver::OAuthState>(); }
  static std::shared_ptr<TQAPISDK> facade() { return TQAPISDK::sharedInstance(); }

  static std::shared_ptr<TQClientCredentials> credentials(
      const std::string& keychainID = kKeychainID) {
    return TQClientCredentials::initWithClientID(kClientID, kClientSecret, kRedirect, keychainID);
  }

  // Every page shown follows its "approve" link at once, as a user would click it.
  void setAutoApprove(bool approve) { autoApprove_ = approve; }

  // Waits until a sign-in page with an "approve" link is shown; answers its web view.
  std::shared_ptr<tq::HeadlessWebView> waitForApprovePage() {
    std::unique_lock lock(mutex_);
    std::shared_ptr<tq::HeadlessWebView> found;
    changed_.wait_for(lock, testsupport::kTimeout, [this, &found] {
      for (const auto& view : webViews_) {
        for (const auto& link : view->links()) {
          if (link.id == "approve") {
            found = view;
            return true;
          }
        }
      }
      return false;
    });
    return found;
  }

  // Signs in through the page, approved at once, and waits for the handler.
  SignInReport signInThroughPage() {
    setAutoApprove(true);
    auto presenter = std::make_shared<RecordingPresenter>();
    SignInRecorder recorder(presenter);
    facade()->authenticateClient(credentials(), presenter, recorder.handler());
    EXPECT_TRUE(recorder.wait());
    setAutoApprove(false);
    return recorder.first();
  }

  // A call's outcome through the facade's single-call road.
  std::shared_ptr<TQAPIQueryResponse> send(const std::string& path, const std::string& method,
                                           const TQCallStart& start = TQCallStart::data()) {
    auto params = std::make_shared<TQBearerTestAPIParams>();
    params->path = path;
    params->method = method;
    OutcomeRecorder recorder;
    // Held, so that a download's file lives on for the test to read.
    lastCall_ = facade()->startSingleCall<TQBearerTestAPI>(params, recorder.handler(), start);
    EXPECT_TRUE(recorder.wait());
    drainMainQueue();
    EXPECT_EQ(recorder.calls(), 1);
    return recorder.first();
  }

  std::vector<testserver::LoggedRequest> requestsTo(const std::string& path) {
    return server().requests(path);
  }

  std::shared_ptr<CountingSpinner> spinner() const { return spinner_; }

  static std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  void pageLoaded(tq::HeadlessWebView& view, const tq::HeadlessWebView::LoadEvent& /*event*/) {
    if (autoApprove_) {
      view.followLink("approve");
    }
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

  void installBearerRoutes() {
    auto& state = oauth();
    server().route("GET", kDataPath,
                   [&state](const httplib::Request& request, httplib::Response& response) {
                     if (state.checkBearer(request, response)) {
                       response.set_content(R"({"ok":true})", "application/json");
                     }
                   });
    server().route("GET", kDownloadPath,
                   [&state](const httplib::Request& request, httplib::Response& response) {
                     if (state.checkBearer(request, response)) {
                       response.set_content(kDownloadBody, "application/octet-stream");
                     }
                   });
    server().route(
        "PUT", kUploadPath, [&state](const httplib::Request& request, httplib::Response& response) {
          if (state.checkBearer(request, response)) {
            const auto* logged = testserver::TestServer::currentRequest();
            response.status = 201;
            response.set_content(R"({"length":)" + std::to_string(logged->bodyLength) + "}",
                                 "application/json");
          }
        });
  }

  std::shared_ptr<TQAPI> lastCall_;
  std::shared_ptr<CountingSpinner> spinner_ = std::make_shared<CountingSpinner>();
  std::atomic<bool> autoApprove_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<tq::HeadlessWebView>> webViews_;
};

}  // namespace signin
