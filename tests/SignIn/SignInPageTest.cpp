// The sign-in page end to end: each page kind against the test server through a headless web
// view, the error redirect, cancelling, the redirect's parsing, and the page's single report.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/API/Token_API/TQAccessTokenAPI.h"
#include "QuenlarCloudAPI/Model/TQAuthByTokenCredentials.h"
#include "QuenlarCloudAPI/View/TQAuthorizationViewController.h"
#include "tests/SignIn/SignInFixture.h"

namespace signin {
namespace {

using testserver::OAuthState;

const auto caseName = [](const auto& info) { return "Case" + std::to_string(info.index); };

std::string decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The query parameters of a logged request target, decoded.
std::map<std::string, std::string> queryOf(const std::string& target) {
  std::map<std::string, std::string> parameters;
  const auto mark = target.find('?');
  if (mark == std::string::npos) {
    return parameters;
  }
  std::string_view query = std::string_view(target).substr(mark + 1);
  while (!query.empty()) {
    const auto amp = query.find('&');
    const auto piece = query.substr(0, amp);
    const auto eq = piece.find('=');
    parameters.emplace(decoded(piece.substr(0, eq)),
                       eq == std::string_view::npos ? "" : decoded(piece.substr(eq + 1)));
    query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
  }
  return parameters;
}

// A web view that only remembers what it was asked to load.
class FakeWebView : public tq::WebView {
 public:
  void setDelegate(std::weak_ptr<tq::WebViewDelegate> /*delegate*/) override {}
  void loadURL(const tq::URL& url) override { loaded.push_back(url.absoluteString()); }
  void stopLoading() override {}
  std::vector<std::string> loaded;
};

// ---- Page kinds ----

struct PageKindCase {
  const char* reason;
  OAuthState::PageMode mode;
  std::optional<std::string> carrierToken;  // set: the silent page is possible
  std::optional<std::string> xdmDeviceID;   // set: sign in with a partner token
  const char* pagePath;
  std::map<std::string, std::string> expected;  // page query parameters beside the common ones
  std::vector<std::string> absent;
};

void PrintTo(const PageKindCase& c, std::ostream* out) { *out << c.reason; }

class PageKinds : public SignInFixture, public ::testing::WithParamInterface<PageKindCase> {};

TEST_P(PageKinds, SignInKeepsTheTokensThenDismissesThenReports) {
  const auto& c = GetParam();
  oauth().setPageMode(c.mode);
  if (c.carrierToken) {
    tq::Device::setCarrierTokenProvider([token = *c.carrierToken] { return token; });
  }
  setAutoApprove(true);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  if (c.xdmDeviceID) {
    facade()->authByToken(
        TQAuthByTokenCredentials::initWithClientID(kClientID, kClientSecret, kRedirect, kKeychainID,
                                                   "xdm-token-1", "5550001111", *c.xdmDeviceID),
        presenter, recorder.handler());
  } else {
    facade()->authenticateClient(credentials(), presenter, recorder.handler());
  }
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();

  const auto report = recorder.first();
  EXPECT_EQ(recorder.calls(), 1);
  ASSERT_TRUE(report.tokens && report.tokens->isAuthenticated());
  ASSERT_TRUE(report.page && report.page->response());
  EXPECT_TRUE(report.page->response()->starts_with("code-"));
  ASSERT_TRUE(report.response);
  EXPECT_EQ(report.response->statusCode(), 200);
  // Kept, then dismissed on the main queue, then reported from the dismissal's completion.
  EXPECT_EQ(facade()->authenticationCredetials(), report.tokens);
  EXPECT_EQ(presenter->presented(), 1);
  EXPECT_EQ(presenter->dismissed(), 1);
  EXPECT_TRUE(presenter->dismissedOnMainQueue());
  EXPECT_EQ(report.dismissedBefore, 1);
  EXPECT_TRUE(report.onMainQueue);
  EXPECT_EQ(facade()->retrieveKeychainID(), kKeychainID);
  const auto stored = facade()->retrieveAuthenticationCredetialsFromKeyChain();
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["access_token"], report.tokens->accessToken());
  EXPECT_EQ((*stored)["client_secret"], kClientSecret);

  const auto pages = server().requests(c.pagePath);
  ASSERT_EQ(pages.size(), 1U) << c.reason;
  const auto query = queryOf(pages.front().target);
  EXPECT_EQ(query.at("response_type"), "code");
  EXPECT_EQ(query.at("client_id"), kClientID);
  EXPECT_EQ(query.at("redirect_uri"), kRedirect);
  for (const auto& [key, value] : c.expected) {
    ASSERT_TRUE(query.contains(key)) << c.reason << ": " << key;
    EXPECT_EQ(query.at(key), value == "<device ID>" ? facade()->getDeviceID() : value) << key;
  }
  for (const auto& key : c.absent) {
    EXPECT_FALSE(query.contains(key)) << c.reason << ": " << key;
  }

  // The exchange carries its parameters in the query of a bodiless POST, with the one header.
  const auto tokenCalls = server().requests("/cloud/1/oauth2/token");
  ASSERT_EQ(tokenCalls.size(), 1U);
  EXPECT_EQ(tokenCalls.front().method, "POST");
  EXPECT_EQ(tokenCalls.front().bodyLength, 0);
  EXPECT_EQ(tokenCalls.front().header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_FALSE(tokenCalls.front().header("Authorization"));
  EXPECT_FALSE(tokenCalls.front().header("Accept"));
  EXPECT_TRUE(tokenCalls.front().header("User-Agent"));
  const auto exchange = queryOf(tokenCalls.front().target);
  EXPECT_EQ(exchange.at("grant_type"), "authorization_code");
  EXPECT_EQ(exchange.at("code"), *report.page->response());
  EXPECT_EQ(exchange.at("client_secret"), kClientSecret);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageKinds,
    ::testing::Values(
        PageKindCase{"ordinary page, approved by a click",
                     OAuthState::PageMode::ApprovePage,
                     std::nullopt,
                     std::nullopt,
                     "/cloud/1/oauth2/authorize",
                     {{"deviceid", "<device ID>"}},
                     {"mdn", "spc_token"}},
        PageKindCase{"ordinary page answering with the redirect at once",
                     OAuthState::PageMode::Redirect,
                     std::nullopt,
                     std::nullopt,
                     "/cloud/1/oauth2/authorize",
                     {{"deviceid", "<device ID>"}},
                     {}},
        PageKindCase{"a carrier token too short for an MDN keeps the ordinary page",
                     OAuthState::PageMode::ApprovePage,
                     "555123",
                     std::nullopt,
                     "/cloud/1/oauth2/authorize",
                     {},
                     {"mdn", "spc_token"}},
        PageKindCase{
            "silent page with the subscriber's MDN and second token",
            OAuthState::PageMode::ApprovePage,
            "5551234567spc-rest",
            std::nullopt,
            "/cloud/1/oauth2/authorizesilent",
            {{"mdn", "5551234567"}, {"spc_token", "spc-rest"}, {"deviceid", "<device ID>"}},
            {}},
        PageKindCase{
            "partner-token page with the partner's device ID",
            OAuthState::PageMode::ApprovePage,
            std::nullopt,
            "xdm-device-1",
            "/cloud/1/oauth2/authbytoken",
            {{"xdm_token", "xdm-token-1"}, {"mdn", "5550001111"}, {"xdmdeviceid", "xdm-device-1"}},
            {"deviceid"}},
        PageKindCase{"partner-token page leaves out an empty partner device ID",
                     OAuthState::PageMode::Redirect,
                     std::nullopt,
                     "",
                     "/cloud/1/oauth2/authbytoken",
                     {{"xdm_token", "xdm-token-1"}},
                     {"xdmdeviceid"}}),
    caseName);

// ---- Values that need encoding reach the server intact ----

TEST_F(SignInFixture, SecretsCodesAndRedirectsWithQuerySeparatorsSurviveTheRoundTrip) {
  // Unencoded, "&" and "=" would add parameters, "+" would become a space and "#" would cut the
  // query; the server accepts only the exact values.
  const std::string secret = "se&cr=et+1#x/";
  const std::string redirect = "https://host.example/cb+x/done";
  oauth().setClient(kClientID, secret);
  oauth().setPageMode(OAuthState::PageMode::Redirect);
  oauth().setNextAuthorizationCode("a/b+c&d=e#f");
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(
      TQClientCredentials::initWithClientID(kClientID, secret, redirect, kKeychainID), presenter,
      recorder.handler());
  ASSERT_TRUE(recorder.wait());

  const auto report = recorder.first();
  ASSERT_TRUE(report.page);
  EXPECT_EQ(report.page->response(), "a/b+c&d=e#f");
  ASSERT_TRUE(report.response);
  EXPECT_EQ(report.response->statusCode(), 200);
  ASSERT_TRUE(report.tokens);
  EXPECT_TRUE(report.tokens->isAuthenticated());
}

// ---- The error redirect ----

struct RefusalCase {
  const char* reason;
  bool clickDeny;  // else the server redirects with its error at once
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.reason; }

class Refusals : public SignInFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ReportTheServersErrorAndSendNoExchange) {
  oauth().setPageMode(GetParam().clickDeny ? OAuthState::PageMode::ApprovePage
                                           : OAuthState::PageMode::ErrorRedirect);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(credentials(), presenter, recorder.handler());
  if (GetParam().clickDeny) {
    const auto page = waitForApprovePage();
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->followLink("deny"));
  }
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();

  const auto report = recorder.first();
  EXPECT_EQ(recorder.calls(), 1);
  EXPECT_FALSE(report.tokens);
  ASSERT_TRUE(report.page);
  EXPECT_EQ(report.page->response(), "access_denied");
  EXPECT_FALSE(report.response);
  EXPECT_EQ(oauth().tokenCallCount(), 0);
  EXPECT_EQ(presenter->dismissed(), 1);
  EXPECT_TRUE(facade()->retrieveKeychainID().empty());
  EXPECT_FALSE(facade()->isUserLoggedIn());
}

INSTANTIATE_TEST_SUITE_P(Cases, Refusals,
                         ::testing::Values(RefusalCase{"the server redirects with an error", false},
                                           RefusalCase{"the user follows the deny link", true}),
                         caseName);

// ---- Cancelling ----

TEST_F(SignInFixture, CancelBeforeTheExchangeReportsCancelledOnce) {
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(credentials(), presenter, recorder.handler());
  ASSERT_TRUE(waitForApprovePage());
  presenter->page()->cancelButtonPressed();
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();

  const auto report = recorder.first();
  EXPECT_FALSE(report.tokens);
  ASSERT_TRUE(report.page);
  EXPECT_EQ(report.page->response(), "cancelled");
  EXPECT_FALSE(report.response);
  EXPECT_EQ(presenter->dismissed(), 1);
  EXPECT_EQ(oauth().tokenCallCount(), 0);
}

TEST_F(SignInFixture, CancelDuringTheExchangeCancelsItAndNothingLateIsKept) {
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce(
      "POST", "/cloud/1/oauth2/token",
      testserver::Answer{.body = OAuthState::tokenAnswer("late-access", "late-refresh").dump(),
                         .holdUntil = gate});
  setAutoApprove(true);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(credentials(), presenter, recorder.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));

  const auto page = std::dynamic_pointer_cast<TQAuthorizationViewController>(presenter->page());
  ASSERT_TRUE(page);
  const auto exchange = page->accessTokenAPI();
  ASSERT_TRUE(exchange);
  page->cancelButtonPressed();
  gate->open();
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();

  EXPECT_TRUE(exchange->isCancelled());
  EXPECT_FALSE(facade()->apiArray().contains(exchange.get()));
  EXPECT_EQ(recorder.calls(), 1);
  EXPECT_EQ(recorder.first().page->response(), "cancelled");
  EXPECT_EQ(presenter->dismissed(), 1);
  EXPECT_FALSE(facade()->authenticationCredetials()->isAuthenticated());
  EXPECT_TRUE(facade()->retrieveKeychainID().empty());
}

// ---- Watching navigations ----

struct NavigationCase {
  const char* reason;
  const char* url;
  bool reports;
  std::optional<std::string> outcome;  // the page outcome's text when it reports
};

void PrintTo(const NavigationCase& c, std::ostream* out) { *out << c.reason; }

class Navigations : public SignInFixture, public ::testing::WithParamInterface<NavigationCase> {};

TEST_P(Navigations, AreFollowedAndOnlyTheRedirectReports) {
  const auto& c = GetParam();
  auto view = std::make_shared<FakeWebView>();
  auto page = TQAuthorizationViewController::initWithScene({view, nullptr});
  page->setClientCredentials(TQClientCredentials::initWithClientID(
      kClientID, kClientSecret, "quenlar-test://signed-in/Callback", kKeychainID));
  SignInRecorder recorder;
  page->setAuthCompletionHandler(recorder.handler());
  page->viewDidLoad();
  ASSERT_EQ(view->loaded.size(), 1U);

  const auto url = tq::URL::URLWithString(c.url);
  ASSERT_TRUE(url) << c.reason;
  EXPECT_TRUE(page->shouldStartLoad(*view, *url)) << c.reason;
  EXPECT_EQ(recorder.calls(), c.reports ? 1 : 0) << c.reason;
  if (c.reports) {
    const auto report = recorder.first();
    EXPECT_FALSE(report.tokens);
    EXPECT_FALSE(report.response);
    ASSERT_TRUE(report.page);
    EXPECT_EQ(report.page->response(), c.outcome) << c.reason;
    // Reported once: the same redirect again changes nothing.
    EXPECT_TRUE(page->shouldStartLoad(*view, *url));
    EXPECT_EQ(recorder.calls(), 1);
  }
  EXPECT_FALSE(page->accessTokenAPI()) << c.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Navigations,
    ::testing::Values(
        NavigationCase{"another page", "https://host.example/elsewhere?error=x", false, {}},
        NavigationCase{"a longer path is another page",
                       "quenlar-test://signed-in/Callback/more?error=x",
                       false,
                       {}},
        NavigationCase{"the redirect in other letter case",
                       "quenlar-test://signed-in/CALLBACK?error=access_denied", true,
                       "access_denied"},
        NavigationCase{"an error among other parameters",
                       "quenlar-test://signed-in/Callback?state=s&error=temporarily_unavailable",
                       true, "temporarily_unavailable"},
        NavigationCase{"an error wins over a code",
                       "quenlar-test://signed-in/Callback?code=c&error=server_error", true,
                       "server_error"},
        NavigationCase{"neither code nor error", "quenlar-test://signed-in/Callback?state=s", true,
                       std::nullopt},
        NavigationCase{"no query at all", "quenlar-test://signed-in/Callback", true, std::nullopt},
        NavigationCase{"an empty code", "quenlar-test://signed-in/Callback?code=&error=", true,
                       ""}),
    caseName);

struct ParameterCase {
  const char* reason;
  const char* url;
  std::optional<std::string> code;
  std::optional<std::string> error;
};

void PrintTo(const ParameterCase& c, std::ostream* out) { *out << c.reason; }

class RedirectParameters : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(RedirectParameters, AreReadAsAQuery) {
  const auto& c = GetParam();
  EXPECT_EQ(TQAuthorizationViewController::parseAuthCodeFromAuthURL(c.url), c.code) << c.reason;
  EXPECT_EQ(TQAuthorizationViewController::didUserApprove(c.url), c.error) << c.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RedirectParameters,
    ::testing::Values(
        ParameterCase{"percent-encoded code", "app://cb?code=a%2Fb%2Bc%3D%26", "a/b+c=&",
                      std::nullopt},
        ParameterCase{"code after another parameter", "app://cb?state=s&code=c1", "c1",
                      std::nullopt},
        ParameterCase{"the first of two codes", "app://cb?code=c1&code=c2", "c1", std::nullopt},
        ParameterCase{"a value holding '='", "app://cb?code=a=b", "a=b", std::nullopt},
        ParameterCase{"the fragment is not part of the value", "app://cb?code=c1#top", "c1",
                      std::nullopt},
        ParameterCase{"a longer key is another key", "app://cb?codes=1&errors=2", std::nullopt,
                      std::nullopt},
        ParameterCase{"keys compare exactly", "app://cb?Code=1&ERROR=2", std::nullopt,
                      std::nullopt},
        ParameterCase{"no query", "app://cb", std::nullopt, std::nullopt},
        ParameterCase{"a key without a value", "app://cb?error", std::nullopt, ""},
        ParameterCase{"both", "app://cb?error=e%20x&code=c", "c", "e x"}),
    caseName);

// ---- Bad inputs raise from the method the host called ----

struct BadInputCase {
  const char* reason;
  std::function<void(const std::shared_ptr<RecordingPresenter>&)> signIn;
  const char* reason_text;  // the exception's reason
};

void PrintTo(const BadInputCase& c, std::ostream* out) { *out << c.reason; }

class BadInputs : public SignInFixture, public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(BadInputs, RaiseBeforeAnythingIsShownOrSent) {
  const auto& c = GetParam();
  auto presenter = std::make_shared<RecordingPresenter>();
  try {
    c.signIn(presenter);
    ADD_FAILURE() << c.reason << ": nothing raised";
  } catch (const TQException& e) {
    EXPECT_EQ(e.name(), "NSInvalidArgumentException") << c.reason;
    EXPECT_EQ(e.reason(), c.reason_text) << c.reason;
  }
  drainMainQueue();
  EXPECT_EQ(presenter->presented(), 0) << c.reason;
  EXPECT_TRUE(server().requests().empty()) << c.reason;
  EXPECT_FALSE(facade()->clientCredentials()) << c.reason;
}

auto withClient(const std::string& clientID, const std::string& secret, const std::string& redirect,
                const std::string& keychainID) {
  return [=](const std::shared_ptr<RecordingPresenter>& presenter) {
    TQAPISDK::sharedInstance()->authenticateClient(
        TQClientCredentials::initWithClientID(clientID, secret, redirect, keychainID), presenter,
        nullptr);
  };
}

auto withPartner(const std::string& xdmToken, const std::string& mdn) {
  return [=](const std::shared_ptr<RecordingPresenter>& presenter) {
    TQAPISDK::sharedInstance()->authByToken(
        TQAuthByTokenCredentials::initWithClientID(kClientID, kClientSecret, kRedirect, kKeychainID,
                                                   xdmToken, mdn, ""),
        presenter, nullptr);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInputs,
    ::testing::Values(
        BadInputCase{"no credentials",
                     [](const std::shared_ptr<RecordingPresenter>& presenter) {
                       TQAPISDK::sharedInstance()->authenticateClient(nullptr, presenter, nullptr);
                     },
                     "All required parameters missing."},
        BadInputCase{"no client ID", withClient("", kClientSecret, kRedirect, kKeychainID),
                     "client_id <REQUIRED PARAMETER> is missing."},
        BadInputCase{"no redirect URL", withClient(kClientID, kClientSecret, "", kKeychainID),
                     "redirect_uri <REQUIRED PARAMETER> is missing."},
        BadInputCase{"a redirect URL that makes no URL",
                     withClient(kClientID, kClientSecret, "no scheme here", kKeychainID),
                     "redirect_uri <REQUIRED PARAMETER> is missing."},
        BadInputCase{"no client secret, which the exchange needs",
                     withClient(kClientID, "", kRedirect, kKeychainID),
                     "client_secret <REQUIRED PARAMETER> is missing."},
        BadInputCase{"no keychain ID to keep the tokens under",
                     withClient(kClientID, kClientSecret, kRedirect, ""),
                     "keychainID <REQUIRED PARAMETER> is missing."},
        BadInputCase{"no presenter",
                     [](const std::shared_ptr<RecordingPresenter>& /*presenter*/) {
                       TQAPISDK::sharedInstance()->authenticateClient(
                           TQClientCredentials::initWithClientID(kClientID, kClientSecret,
                                                                 kRedirect, kKeychainID),
                           nullptr, nullptr);
                     },
                     "All required parameters missing."},
        BadInputCase{"no scene factory registered",
                     [](const std::shared_ptr<RecordingPresenter>& presenter) {
                       tq::setSignInSceneFactory(nullptr);
                       TQAPISDK::sharedInstance()->presentOAuthViewController(
                           presenter,
                           TQClientCredentials::initWithClientID(kClientID, kClientSecret,
                                                                 kRedirect, ""),
                           nullptr);
                     },
                     "No sign-in scene: register one with tq::setSignInSceneFactory()."},
        BadInputCase{"partner sign-in without the partner token", withPartner("", "5550001111"),
                     "xdmToken <REQUIRED PARAMETER> is missing."},
        BadInputCase{"partner sign-in without the MDN", withPartner("xdm-token-1", ""),
                     "mdn <REQUIRED PARAMETER> is missing."},
        BadInputCase{"the host's own page without a client secret",
                     [](const std::shared_ptr<RecordingPresenter>& presenter) {
                       TQAPISDK::sharedInstance()->presentOAuthViewController(
                           presenter,
                           TQClientCredentials::initWithClientID(kClientID, "", kRedirect, ""),
                           nullptr);
                     },
                     "client_secret <REQUIRED PARAMETER> is missing."}),
    caseName);

}  // namespace
}  // namespace signin
