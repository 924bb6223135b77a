// The facade's sign-in state: restoring it (in a new process, from the keychain files), the
// answer from stored tokens, the host's own page, and logout.
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQAuthByTokenCredentials.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "tests/SignIn/SignInFixture.h"

namespace signin {
namespace {

constexpr const char* kRestoreDirectory = "QUENLAR_SIGNIN_RESTORE_DIRECTORY";
constexpr const char* kRestoreAccessToken = "QUENLAR_SIGNIN_RESTORE_ACCESS_TOKEN";
constexpr const char* kRestoreRefreshToken = "QUENLAR_SIGNIN_RESTORE_REFRESH_TOKEN";

TEST_F(SignInFixture, ANewProcessRestoresTheSignInFromTheKeychainFiles) {
  const auto report = signInThroughPage();
  ASSERT_TRUE(report.tokens && report.tokens->isAuthenticated());

  // The items are private files in a private directory, and nothing half-written is left.
  struct stat directory {};
  ASSERT_EQ(::stat(keychainDirectory().c_str(), &directory), 0);
  EXPECT_EQ(directory.st_mode & 0777U, 0700U);
  int items = 0;
  for (const auto& entry : std::filesystem::directory_iterator(keychainDirectory())) {
    struct stat file {};
    ASSERT_EQ(::lstat(entry.path().c_str(), &file), 0);
    EXPECT_TRUE(S_ISREG(file.st_mode)) << entry.path();
    EXPECT_EQ(file.st_mode & 0777U, 0600U) << entry.path();
    EXPECT_EQ(entry.path().filename().string().size(), 64U) << entry.path();
    ++items;
  }
  EXPECT_EQ(items, 3);  // credentials, keychain ID, device ID

  EXPECT_EQ(testsupport::exitStatusOf(testsupport::spawnTest(
                "SignInRestore.DISABLED_InANewProcess",
                {std::string(kRestoreDirectory) + "=" + keychainDirectory().string(),
                 std::string(kRestoreAccessToken) + "=" + report.tokens->accessToken(),
                 std::string(kRestoreRefreshToken) + "=" + report.tokens->refreshToken()})),
            0);
}

// The restoring half; it runs only when the test above starts it.
TEST(SignInRestore, DISABLED_InANewProcess) {
  const char* directory = std::getenv(kRestoreDirectory);  // NOLINT(concurrency-mt-unsafe)
  if (directory == nullptr) {
    GTEST_SKIP() << "started by ANewProcessRestoresTheSignInFromTheKeychainFiles";
  }
  tq::setKeychainDirectory(directory);
  const auto facade = TQAPISDK::sharedInstance();
  ASSERT_FALSE(facade->authenticationCredetials());
  EXPECT_TRUE(facade->isUserLoggedIn());
  const auto tokens = facade->authenticationCredetials();
  ASSERT_TRUE(tokens);
  EXPECT_EQ(tokens->accessToken(), std::getenv(kRestoreAccessToken));    // NOLINT
  EXPECT_EQ(tokens->refreshToken(), std::getenv(kRestoreRefreshToken));  // NOLINT
  const auto client = facade->clientCredentials();
  ASSERT_TRUE(client);
  EXPECT_EQ(client->clientID(), kClientID);
  EXPECT_EQ(client->clientSecret(), kClientSecret);
  EXPECT_EQ(client->redirectURLString(), kRedirect);
  EXPECT_EQ(client->keychainID(), kKeychainID);
  EXPECT_EQ(facade->fetchAccessToken(), tokens->accessToken());
}

TEST_F(SignInFixture, AnEmptyKeychainIDItemMeansSignedOutAndChangesNothing) {
  const auto client = credentials();
  facade()->setClientCredentials(client);
  EXPECT_FALSE(facade()->isUserLoggedIn());
  EXPECT_EQ(facade()->clientCredentials(), client);
  EXPECT_FALSE(facade()->authenticationCredetials());
  EXPECT_FALSE(facade()->fetchAccessToken());
}

// ---- Stored tokens, partner tokens and the host's own page ----

TEST_F(SignInFixture, StoredTokensAnswerAtOnceOnTheCallersThread) {
  const auto first = signInThroughPage();
  ASSERT_TRUE(first.tokens);

  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(credentials(), presenter, recorder.handler());
  ASSERT_EQ(recorder.calls(), 1);  // before the method returned
  const auto report = recorder.first();
  EXPECT_FALSE(report.onMainQueue);
  ASSERT_TRUE(report.tokens);
  EXPECT_EQ(report.tokens->accessToken(), first.tokens->accessToken());
  EXPECT_FALSE(report.page);
  EXPECT_FALSE(report.response);
  EXPECT_EQ(presenter->presented(), 0);
}

TEST_F(SignInFixture, ThePartnerTokenSignInShowsItsPageDespiteStoredTokens) {
  ASSERT_TRUE(signInThroughPage().tokens);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authByToken(
      TQAuthByTokenCredentials::initWithClientID(kClientID, kClientSecret, kRedirect, kKeychainID,
                                                 "xdm-token-1", "5550001111", ""),
      presenter, recorder.handler());
  EXPECT_EQ(presenter->presented(), 1);
  EXPECT_EQ(recorder.calls(), 0);
  presenter->page()->cancelButtonPressed();
  ASSERT_TRUE(recorder.wait());
  EXPECT_EQ(recorder.first().page->response(), "cancelled");
}

TEST_F(SignInFixture, TheHostsOwnPageReportsWhereItEndsAndKeepsNothing) {
  setAutoApprove(true);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->presentOAuthViewController(presenter, credentials(), recorder.handler());
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();

  const auto report = recorder.first();
  ASSERT_TRUE(report.tokens);
  EXPECT_TRUE(report.tokens->isAuthenticated());
  EXPECT_FALSE(report.onMainQueue);  // the exchange's delegate queue
  EXPECT_EQ(presenter->dismissed(), 0);
  EXPECT_FALSE(facade()->authenticationCredetials());
  EXPECT_FALSE(facade()->clientCredentials());
  EXPECT_TRUE(facade()->retrieveKeychainID().empty());
}

// ---- Logout ----

struct LogoutCase {
  const char* reason;
  bool signIn;
  bool forgetTokensInMemory;  // only the keychain holds the sign-in
  bool answers;
};

void PrintTo(const LogoutCase& c, std::ostream* out) { *out << c.reason; }

class Logouts : public SignInFixture, public ::testing::WithParamInterface<LogoutCase> {
 protected:
  static void insertRows() {
    const auto context =
        TQPersistentStore::sharedPersistentStore()->backgroundManagedObjectContext();
    auto resource = TQDBResource::insertNewObjectIntoContext(context);
    resource->loadFromDictionary({{"name", "a.jpg"}, {"path", "/Photos/a.jpg"}, {"uri", "u-1"}});
    auto tag = TQETag::insertNewObjectIntoContext(context);
    tag->setETag("etag-1");
    tag->setETagID("folder-1");
    TQStoreError error;
    ASSERT_TRUE(context->save(&error)) << error.localizedDescription;
  }

  static int64_t rows(const std::string& entity) {
    tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                                tq::SQLiteDatabase::OpenMode::ReadOnly);
    auto statement = database.prepare("SELECT count(*) FROM \"" + entity + "\"");
    return statement.step() ? statement.columnInt64(0).value_or(-1) : -1;
  }
};

TEST_P(Logouts, ClearTheItemsTheStoreAndTheLiveCallsOnlyWhenSignedIn) {
  const auto& c = GetParam();
  if (c.signIn) {
    ASSERT_TRUE(signInThroughPage().tokens);
  }
  if (c.forgetTokensInMemory) {
    facade()->setAuthenticationCredetials(nullptr);
  }
  const std::string deviceID = facade()->getDeviceID();
  insertRows();
  const auto keychainID = facade()->retrieveKeychainID();

  // A live call, held at the server.
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce("GET", kDataPath, testserver::Answer{.body = "{}", .holdUntil = gate});
  auto params = std::make_shared<TQBearerTestAPIParams>();
  params->accessToken = "held-call-token";
  OutcomeRecorder live;
  const auto call = TQAPI::initWithParameters<TQBearerTestAPI>(params);
  call->prepareQuery();
  facade()->apiArray().add(call);
  call->sendAsyncRequestWithCompletionHandler(live.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));

  EXPECT_EQ(facade()->logout(), c.answers) << c.reason;
  gate->open();
  if (c.answers) {
    EXPECT_TRUE(call->isCancelled());
    EXPECT_EQ(facade()->apiArray().count(), 0U);
    EXPECT_EQ(rows("TQDBResource"), 0);
    EXPECT_EQ(rows("TQETag"), 0);
    EXPECT_TRUE(facade()->retrieveKeychainID().empty());
    EXPECT_FALSE(facade()->retrieveAuthenticationCredetialsFromKeyChain());
    EXPECT_FALSE(facade()->authenticationCredetials());
    EXPECT_FALSE(facade()->clientCredentials());
    EXPECT_FALSE(facade()->fetchClientID());
    EXPECT_FALSE(facade()->isUserLoggedIn());
    EXPECT_FALSE(facade()->fetchAccessToken());
    EXPECT_FALSE(facade()->logout());
    drainMainQueue();
    EXPECT_EQ(live.calls(), 0);
  } else {
    EXPECT_EQ(rows("TQDBResource"), 1);
    EXPECT_EQ(rows("TQETag"), 1);
    EXPECT_EQ(facade()->retrieveKeychainID(), keychainID);
    ASSERT_TRUE(live.wait());
  }
  EXPECT_EQ(facade()->getDeviceID(), deviceID) << "the device ID outlives logout";
}

TEST_F(SignInFixture, LogoutEndsAFirstSignInWhoseCodeExchangeIsUnderWay) {
  const auto gate = std::make_shared<testserver::Gate>();
  server().scriptOnce(
      "POST", "/cloud/1/oauth2/token",
      testserver::Answer{.body = testserver::OAuthState::tokenAnswer("late", "late-r").dump(),
                         .holdUntil = gate});
  setAutoApprove(true);
  auto presenter = std::make_shared<RecordingPresenter>();
  SignInRecorder recorder(presenter);
  facade()->authenticateClient(credentials(), presenter, recorder.handler());
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));

  EXPECT_FALSE(facade()->logout()) << "nobody was signed in yet";
  gate->open();
  ASSERT_TRUE(recorder.wait());
  drainMainQueue();
  const auto report = recorder.first();
  EXPECT_FALSE(report.tokens);
  EXPECT_EQ(report.page->response(), "cancelled");
  EXPECT_EQ(presenter->dismissed(), 1);
  EXPECT_FALSE(facade()->isUserLoggedIn());
  EXPECT_FALSE(facade()->retrieveAuthenticationCredetialsFromKeyChain());
  EXPECT_TRUE(facade()->retrieveKeychainID().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Logouts,
                         ::testing::Values(LogoutCase{"signed in", true, false, true},
                                           LogoutCase{"stored only: restored, then signed out",
                                                      true, true, true},
                                           LogoutCase{"nobody signed in", false, false, false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace signin
