// The road of a call answered 401: the tokens are renewed once and the call is sent again as the
// same kind of task; every way the renewal can fail delivers the 401 outcome instead, once.
#include <fstream>
#include <string>

#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPI.h"
#include "QuenlarCloudAPI/API/Token_API/TQRevokeTokenAPI.h"
#include "tests/SignIn/SignInFixture.h"

namespace signin {
namespace {

using testserver::Answer;
using testserver::OAuthState;

constexpr const char* kTokenPath = "/cloud/1/oauth2/token";
constexpr const char* kUnauthorized = R"({"error":"invalid_token"})";

class RefreshFixture : public SignInFixture {
 protected:
  // Signs in through the page, then lets the server expire the access token; answers it.
  std::string signInAndExpire() {
    oauth().setPageMode(OAuthState::PageMode::Redirect);
    const auto report = signInThroughPage();
    EXPECT_TRUE(report.tokens && report.tokens->isAuthenticated());
    oauth().expireAccessTokens();
    return report.tokens ? report.tokens->accessToken() : std::string();
  }

  std::string storedAccessToken() {
    const auto stored = facade()->retrieveAuthenticationCredetialsFromKeyChain();
    return stored && (*stored)["access_token"].is_string()
               ? (*stored)["access_token"].get<std::string>()
               : std::string();
  }

  std::filesystem::path writeUploadFile() {
    auto path = root() / "upload.bin";
    std::ofstream(path, std::ios::binary) << std::string(100000, 'u');
    return path;
  }
};

// ---- Renewed: the resend keeps its kind ----

enum class Kind { Data, Download, Upload };

struct ResendCase {
  const char* reason;
  Kind kind;
};

void PrintTo(const ResendCase& c, std::ostream* out) { *out << c.reason; }

class Resends : public RefreshFixture, public ::testing::WithParamInterface<ResendCase> {};

TEST_P(Resends, DeliverTheResendsOutcomeOnceWithTheNewToken) {
  const auto& c = GetParam();
  const std::string oldToken = signInAndExpire();
  const auto uploadFile = writeUploadFile();
  const std::string uploadBytes = readFile(uploadFile);

  std::shared_ptr<TQAPIQueryResponse> outcome;
  std::string path;
  switch (c.kind) {
    case Kind::Data:
      path = kDataPath;
      outcome = send(path, "GET");
      break;
    case Kind::Download:
      path = kDownloadPath;
      outcome = send(path, "GET", TQCallStart::download(nullptr));
      break;
    case Kind::Upload:
      path = kUploadPath;
      outcome =
          send(path, "PUT", TQCallStart::upload(tq::URL::fileURLWithPath(uploadFile), nullptr));
      break;
  }
  ASSERT_TRUE(outcome);

  const auto tokens = facade()->authenticationCredetials();
  ASSERT_TRUE(tokens);
  EXPECT_NE(tokens->accessToken(), oldToken);
  EXPECT_EQ(storedAccessToken(), tokens->accessToken());
  EXPECT_EQ(oauth().refreshCallCount(), 1);
  const auto sent = requestsTo(path);
  ASSERT_EQ(sent.size(), 2U);
  EXPECT_EQ(sent[0].header("Authorization"), "Bearer " + oldToken);
  EXPECT_EQ(sent[1].header("Authorization"), "Bearer " + tokens->accessToken());

  switch (c.kind) {
    case Kind::Data:
      EXPECT_EQ(outcome->statusCode(), 200);
      // Nothing of the 401 answer's body is left in front of the resend's.
      EXPECT_EQ(outcome->responseData(), R"({"ok":true})");
      ASSERT_TRUE(outcome->jsonResponse());
      EXPECT_EQ((*outcome->jsonResponse())["ok"], true);
      break;
    case Kind::Download: {
      EXPECT_EQ(outcome->statusCode(), 200);
      ASSERT_TRUE(outcome->downloadedURL()) << "resent as a download";
      EXPECT_EQ(readFile(outcome->downloadedURL()->path()), kDownloadBody);
      EXPECT_FALSE(outcome->jsonResponse());
      break;
    }
    case Kind::Upload:
      EXPECT_EQ(outcome->statusCode(), 201);
      // Resent from the same file: the server got the whole body both times, and the host's file
      // is still there.
      EXPECT_EQ(sent[0].bodySha256, sent[1].bodySha256);
      EXPECT_EQ(sent[1].bodyLength, static_cast<int64_t>(uploadBytes.size()));
      EXPECT_EQ(readFile(uploadFile), uploadBytes);
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Resends,
    ::testing::Values(ResendCase{"a data call", Kind::Data},
                      ResendCase{"a download stays a download", Kind::Download},
                      ResendCase{"an upload sends its file again", Kind::Upload}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// ---- Not renewed: the 401 outcome, once ----

struct FailedRefreshCase {
  const char* reason;
  std::function<void(testserver::TestServer&, OAuthState&)> arrange;
  int tokenRequests;   // to the token endpoint after the sign-in's exchange
  int dataRequests;    // the call's own
  bool tokensRenewed;  // the refresh itself succeeded
};

void PrintTo(const FailedRefreshCase& c, std::ostream* out) { *out << c.reason; }

class FailedRefreshes : public RefreshFixture,
                        public ::testing::WithParamInterface<FailedRefreshCase> {};

TEST_P(FailedRefreshes, DeliverThe401OutcomeOnce) {
  const auto& c = GetParam();
  const std::string oldToken = signInAndExpire();
  c.arrange(server(), oauth());

  const auto outcome = send(kDataPath, "GET");
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->statusCode(), 401) << c.reason;
  ASSERT_TRUE(outcome->jsonResponse()) << c.reason << ": the 401 outcome arrives whole";
  EXPECT_EQ((*outcome->jsonResponse())["error"], "invalid_token");
  EXPECT_EQ(static_cast<int>(requestsTo(kTokenPath).size()), 1 + c.tokenRequests) << c.reason;
  EXPECT_EQ(static_cast<int>(requestsTo(kDataPath).size()), c.dataRequests) << c.reason;
  if (!c.tokensRenewed) {
    const auto tokens = facade()->authenticationCredetials();
    EXPECT_EQ(tokens ? tokens->accessToken() : "", oldToken) << c.reason;
    EXPECT_EQ(storedAccessToken(), oldToken) << c.reason;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedRefreshes,
    ::testing::Values(
        FailedRefreshCase{"the refresh is refused with 400",
                          [](testserver::TestServer& /*server*/, OAuthState& oauth) {
                            oauth.setRefreshFailure(400);
                          },
                          1, 1, false},
        FailedRefreshCase{"the refresh itself answers 401 and is not refreshed in turn",
                          [](testserver::TestServer& /*server*/, OAuthState& oauth) {
                            oauth.setRefreshFailure(401);
                          },
                          1, 1, false},
        FailedRefreshCase{"a 200 without an access token renews nothing",
                          [](testserver::TestServer& server, OAuthState& /*oauth*/) {
                            server.scriptOnce(
                                "POST", kTokenPath,
                                Answer{.body = R"({"token_type":"bearer","expires_in":60})"});
                          },
                          1, 1, false},
        FailedRefreshCase{"no refresh token to send: nothing is sent, nothing raised",
                          [](testserver::TestServer& /*server*/, OAuthState& /*oauth*/) {
                            TQAPISDK::sharedInstance()->authenticationCredetials()->setRefreshToken(
                                "");
                          },
                          0, 1, false},
        FailedRefreshCase{"no client credentials to send: nothing is sent, nothing raised",
                          [](testserver::TestServer& /*server*/, OAuthState& /*oauth*/) {
                            TQAPISDK::sharedInstance()->setClientCredentials(nullptr);
                          },
                          0, 1, false},
        FailedRefreshCase{"the resent call is refused again: no second refresh",
                          [](testserver::TestServer& server, OAuthState& /*oauth*/) {
                            server.script("GET", kDataPath,
                                          Answer{.status = 401, .body = kUnauthorized});
                          },
                          1, 2, true}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(RefreshFixture, TokenCallsDeliverTheirOwn401) {
  signInAndExpire();
  oauth().setClient(kClientID, "another secret");
  auto params = std::make_shared<TQRevokeTokenAPIParams>();
  params->clientID = kClientID;
  params->clientSecret = kClientSecret;
  params->accessToken = "some-token";
  OutcomeRecorder recorder;
  facade()->startSingleCall<TQRevokeTokenAPI>(params, recorder.handler());
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();
  EXPECT_EQ(recorder.calls(), 1);
  EXPECT_EQ(recorder.first()->statusCode(), 401);
  EXPECT_EQ(requestsTo(kTokenPath).size(), 1U) << "only the sign-in's exchange";
  EXPECT_EQ(oauth().refreshCallCount(), 0);
}

// ---- The facade's refresh ----

TEST_F(RefreshFixture, A401ToATokenAlreadyReplacedResendsWithoutAGrant) {
  const std::string oldToken = signInAndExpire();
  // The call goes out with the old token; its 401 is held back until a refresh has replaced it.
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("GET", kDataPath,
                      Answer{.status = 401, .body = kUnauthorized, .holdUntil = gate});
  OutcomeRecorder recorder;
  facade()->startSingleCall<TQBearerTestAPI>(std::make_shared<TQBearerTestAPIParams>(),
                                             recorder.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));
  testsupport::Latch refreshed;
  facade()->refreshSessionWithCompletionHandler(
      [&](const std::shared_ptr<TQAuthenticationResponse>& /*tokens*/,
          const std::shared_ptr<TQAPIQueryResponse>& /*response*/) { refreshed.countDown(); });
  ASSERT_TRUE(refreshed.wait());
  const std::string newToken = facade()->authenticationCredetials()->accessToken();
  ASSERT_NE(newToken, oldToken);
  gate->open();
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();
  EXPECT_EQ(recorder.first()->statusCode(), 200);
  EXPECT_EQ(oauth().refreshCallCount(), 1) << "only the host's own refresh";
  const auto sent = requestsTo(kDataPath);
  ASSERT_EQ(sent.size(), 2U);
  EXPECT_EQ(sent[1].header("Authorization").value_or(""), "Bearer " + newToken);
}

TEST_F(RefreshFixture, ARefreshAnswerKeepsWhatItLacksAndReportsWhetherItRenewed) {
  signInAndExpire();
  const auto before = facade()->authenticationCredetials();
  const std::string refreshToken = before->refreshToken();
  const struct {
    const char* body;
    bool renewed;
    const char* why;
  } cases[] = {
      {"<html>busy</html>", false, "a 200 that is not JSON"},
      {R"({"token_type":"bearer","expires_in":60})", false, "a 200 without an access token"},
      {R"({"access_token":""})", false, "a 200 with an empty access token"},
      {R"({"access_token":"renewed-1"})", true, "members left out"},
      {R"({"access_token":"renewed-1","refresh_token":""})", true, "an empty refresh token"},
      {R"({"access_token":"renewed-1","refresh_token":7})", true,
       "a refresh token that is no text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const std::string accessToken = facade()->authenticationCredetials()->accessToken();
    server().scriptOnce("POST", kTokenPath, Answer{.body = c.body});
    testsupport::Latch done;
    std::shared_ptr<TQAuthenticationResponse> handed;
    std::shared_ptr<TQAPIQueryResponse> response;
    facade()->refreshSessionWithCompletionHandler(
        [&](const std::shared_ptr<TQAuthenticationResponse>& tokens,
            const std::shared_ptr<TQAPIQueryResponse>& outcome) {
          handed = tokens;
          response = outcome;
          done.countDown();
        });
    ASSERT_TRUE(done.wait());
    ASSERT_TRUE(handed && response);
    EXPECT_EQ(response->statusCode(), 200);
    EXPECT_EQ(TQAPIQueryResponse_Helper::isSuccess(*response), c.renewed);
    EXPECT_EQ(handed->accessToken(), c.renewed ? "renewed-1" : accessToken);
    EXPECT_EQ(handed->refreshToken(), refreshToken);
    EXPECT_EQ(handed->expiresIn(), before->expiresIn());
    // What the next process restores: the refresh token must survive there too.
    const auto stored = facade()->retrieveAuthenticationCredetialsFromKeyChain();
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)["access_token"], handed->accessToken());
    EXPECT_EQ((*stored)["refresh_token"], refreshToken);
  }
}

TEST_F(RefreshFixture, ARefreshAnswerOfACancelledCallIsNotKept) {
  const std::string oldToken = signInAndExpire();
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("POST", kTokenPath,
                      Answer{.body = OAuthState::tokenAnswer("late-access", "late-refresh").dump(),
                             .holdUntil = gate});
  std::atomic<int> handled{0};
  const auto call = facade()->refreshSessionWithCompletionHandler(
      [&](const std::shared_ptr<TQAuthenticationResponse>& /*tokens*/,
          const std::shared_ptr<TQAPIQueryResponse>& /*response*/) { ++handled; });
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));
  call->cancelAPI();
  gate->open();
  drainMainQueue();
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(facade()->authenticationCredetials()->accessToken(), oldToken);
  EXPECT_EQ(storedAccessToken(), oldToken);
}

TEST_F(RefreshFixture, ARefreshAnswerArrivingAfterLogoutIsNotKept) {
  signInAndExpire();
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("POST", kTokenPath,
                      Answer{.body = OAuthState::tokenAnswer("late-access", "late-refresh").dump(),
                             .holdUntil = gate});
  OutcomeRecorder recorder;
  auto params = std::make_shared<TQBearerTestAPIParams>();
  facade()->startSingleCall<TQBearerTestAPI>(params, recorder.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));
  ASSERT_TRUE(facade()->logout());
  gate->open();
  drainMainQueue();
  EXPECT_EQ(recorder.calls(), 0) << "logout cancelled the waiting call";
  EXPECT_FALSE(facade()->authenticationCredetials());
  EXPECT_FALSE(facade()->retrieveAuthenticationCredetialsFromKeyChain());
  EXPECT_FALSE(facade()->isUserLoggedIn());
}

}  // namespace
}  // namespace signin
