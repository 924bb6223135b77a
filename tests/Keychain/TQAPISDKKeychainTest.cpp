// The facade's keychain items. Each test runs in its own process (gtest_discover_tests), so the
// facade's stores are made afresh in every test.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"
#include "QuenlarCloudAPI/Platform/KeychainMemoryBackend.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/Keychain/KeychainTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Operation = tq::KeychainMemoryBackend::Operation;

class TQAPISDKKeychainTest : public ::testing::Test {
 protected:
  void SetUp() override { tq::setDefaultKeychainBackend(backend_); }
  void TearDown() override { tq::setDefaultKeychainBackend(nullptr); }

  static void useCredentials(const std::string& keychainID, const std::string& clientID = "cid",
                             const std::string& clientSecret = "secret",
                             const std::string& redirect = "app://done") {
    facade()->setClientCredentials(
        TQClientCredentials::initWithClientID(clientID, clientSecret, redirect, keychainID));
  }
  static std::shared_ptr<TQAPISDK> facade() { return TQAPISDK::sharedInstance(); }

  std::shared_ptr<tq::KeychainMemoryBackend> backend_ =
      std::make_shared<tq::KeychainMemoryBackend>();
  keychaintest::LogCapture log_;
};

TEST_F(TQAPISDKKeychainTest, TheCredentialsStoreNeedsAKeychainID) {
  for (const char* reason : {"no client credentials", "credentials without a keychain ID"}) {
    if (std::string(reason) != "no client credentials") {
      useCredentials("");
    }
    try {
      facade()->keychainWrapper();
      ADD_FAILURE() << reason << ": expected TQException";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), NSInvalidArgumentException) << reason;
    }
  }
  useCredentials("kc");
  EXPECT_EQ(facade()->keychainWrapper()->identifier(), "kc") << "a failed first read made none";
}

TEST_F(TQAPISDKKeychainTest, MakingTheCredentialsStoreWritesAnEmptyItem) {
  useCredentials("kc");
  const auto store = facade()->keychainWrapper();
  // Absent and empty differ: the item now exists, with when-unlocked and no data.
  const auto item = backend_->item("kc");
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->attributes.at(kSecAttrAccessible), kSecAttrAccessibleWhenUnlocked);
  EXPECT_EQ(item->data, "");
  EXPECT_EQ(facade()->retrieveAuthenticationCredetialsFromKeyChain(), std::nullopt);
  EXPECT_EQ(facade()->keychainWrapper(), store) << "made once";
  EXPECT_EQ(backend_->writeCount(), 1U);
}

TEST_F(TQAPISDKKeychainTest, CredentialsRoundTripWithTheEightMembers) {
  useCredentials("kc", "client-1", "s3cr&t", "app://done");
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(
      R"({"token_type":"Bearer","access_token":"A1","expires_in":3600,"refresh_token":"R1",
          "scope":"cloud","extra":"not kept"})"));
  const auto stored = facade()->retrieveAuthenticationCredetialsFromKeyChain();
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->dump(),
            R"({"access_token":"A1","expires_in":3600,"refresh_token":"R1","scope":"cloud",)"
            R"("token_type":"Bearer","client_id":"client-1","client_secret":"s3cr&t",)"
            R"("redirect_url":"app://done"})");
  EXPECT_TRUE((*stored)["expires_in"].is_number()) << "the number the server sent";

  const auto writes = backend_->writeCount();
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(
      R"({"access_token":"A1","expires_in":3600,"refresh_token":"R1","scope":"cloud",
          "token_type":"Bearer"})"));
  EXPECT_EQ(backend_->writeCount(), writes) << "the same text writes nothing";
}

TEST_F(TQAPISDKKeychainTest, MembersAnAnswerLacksKeepTheirStoredValue) {
  useCredentials("kc");
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(
      R"({"access_token":"A1","expires_in":3600,"refresh_token":"R1","scope":"cloud",
          "token_type":"Bearer"})"));
  const struct {
    const char* reason;
    const char* answer;
    const char* expected;
  } cases[] = {
      {"a refresh answer with the access token alone", R"({"access_token":"A2","expires_in":60})",
       R"({"access_token":"A2","expires_in":60,"refresh_token":"R1","scope":"cloud","token_type":"Bearer")"},
      {"a null member counts as missing", R"({"access_token":"A3","refresh_token":null})",
       R"({"access_token":"A3","expires_in":60,"refresh_token":"R1","scope":"cloud","token_type":"Bearer")"},
      {"a member the answer has replaces the stored one",
       R"({"access_token":"A4","refresh_token":"R2","scope":"more"})",
       R"({"access_token":"A4","expires_in":60,"refresh_token":"R2","scope":"more","token_type":"Bearer")"},
      {"an answer that is not an object changes no token", R"([1,2])",
       R"({"access_token":"A4","expires_in":60,"refresh_token":"R2","scope":"more","token_type":"Bearer")"},
  };
  for (const auto& c : cases) {
    facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(c.answer));
    const auto stored = facade()->retrieveAuthenticationCredetialsFromKeyChain();
    ASSERT_TRUE(stored.has_value()) << c.reason;
    EXPECT_EQ(stored->dump(), std::string(c.expected) +
                                  R"(,"client_id":"cid","client_secret":"secret",)"
                                  R"("redirect_url":"app://done"})")
        << c.reason;
  }
}

TEST_F(TQAPISDKKeychainTest, MembersNeverStoredAreLeftOutAndUnknownClientFieldsKept) {
  useCredentials("kc", "cid", "secret", "app://done");
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A1"})"));
  useCredentials("kc", "", "", "");  // the same keychain ID, client fields unknown
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A2"})"));
  EXPECT_EQ(facade()->retrieveAuthenticationCredetialsFromKeyChain()->dump(),
            R"({"access_token":"A2","client_id":"cid","client_secret":"secret",)"
            R"("redirect_url":"app://done"})");
}

TEST_F(TQAPISDKKeychainTest, CredentialsThatAreNotAJSONObjectReadAsNothing) {
  useCredentials("kc");
  for (const char* data : {"not json", "[1]", "\"text\"", "{\"access_token\":", "{} trailing"}) {
    facade()->keychainWrapper()->setObject(data, kSecValueData);
    EXPECT_EQ(facade()->retrieveAuthenticationCredetialsFromKeyChain(), std::nullopt) << data;
  }
}

TEST_F(TQAPISDKKeychainTest, TheKeychainIDItem) {
  EXPECT_EQ(facade()->retrieveKeychainID(), "") << "nothing stored";
  facade()->saveKeychainID("kc-1");
  EXPECT_EQ(facade()->retrieveKeychainID(), "kc-1");
  const auto item = backend_->item(TQAPISDK::keychainIDKey);
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->attributes.at(kSecAttrAccount), "kc-1");
  EXPECT_FALSE(item->attributes.contains(kSecAttrAccessible)) << "default accessibility";

  facade()->keyChainIDWrapper()->resetKeychainItem();
  EXPECT_EQ(facade()->retrieveKeychainID(), "");
  EXPECT_FALSE(backend_->item(TQAPISDK::keychainIDKey).has_value());
}

TEST_F(TQAPISDKKeychainTest, StoresStayBoundToTheKeychainIDOfTheirFirstRead) {
  useCredentials("first");
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A1"})"));
  const std::string deviceID = facade()->getDeviceID();
  useCredentials("second");
  facade()->saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A2"})"));
  EXPECT_EQ(facade()->keychainWrapper()->identifier(), "first");
  EXPECT_EQ(facade()->deviceIDKeyChainWrapper()->identifier(), "DeviceID-first");
  EXPECT_EQ(facade()->getDeviceID(), deviceID);
  EXPECT_FALSE(backend_->item("second").has_value());
}

TEST_F(TQAPISDKKeychainTest, AStoreTheHostSetsIsTheOneReadAndWritten) {
  using Setter = void (TQAPISDK::*)(std::shared_ptr<KeychainItemWrapper>);
  using Getter = std::shared_ptr<KeychainItemWrapper> (TQAPISDK::*)();
  backend_->setItem("host-device", {{{kSecAttrAccount, "HOST-DEVICE"}}, ""});
  const struct {
    const char* item;
    Setter set;
    Getter get;
    std::function<std::string(TQAPISDK&)> use;  // answers what reached the set store's item
    std::string expected;
    const char* why;
  } cases[] = {
      {"host-credentials", &TQAPISDK::setKeychainWrapper, &TQAPISDK::keychainWrapper,
       [this](TQAPISDK& f) {
         f.saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A-HOST"})"));
         return tq::JSON::parse(backend_->item("host-credentials").value().data)
             .value("access_token", "");
       },
       "A-HOST", "tokens are written there, with no keychain ID known"},
      {"host-keychain-id", &TQAPISDK::setKeyChainIDWrapper, &TQAPISDK::keyChainIDWrapper,
       [this](TQAPISDK& f) {
         f.saveKeychainID("kc-host");
         return backend_->item("host-keychain-id").value().attributes.at(kSecAttrAccount);
       },
       "kc-host", "the keychain ID is written there"},
      {"host-device", &TQAPISDK::setDeviceIDKeyChainWrapper, &TQAPISDK::deviceIDKeyChainWrapper,
       [](TQAPISDK& f) { return f.getDeviceID(); }, "HOST-DEVICE", "the device ID is read there"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto store = KeychainItemWrapper::initWithIdentifier(c.item, std::nullopt);
    (*facade().*c.set)(store);
    EXPECT_EQ((*facade().*c.get)(), store);
    EXPECT_EQ(c.use(*facade()), c.expected);
  }
  EXPECT_FALSE(backend_->item(TQAPISDK::keychainIDKey).has_value());
  EXPECT_FALSE(backend_->item("DeviceID-(null)").has_value());

  useCredentials("kc");
  facade()->setKeychainWrapper(nullptr);
  EXPECT_EQ(facade()->keychainWrapper()->identifier(), "kc") << "none set: made afresh";
}

TEST_F(TQAPISDKKeychainTest, DeviceIDIsAnUpperCaseUUIDKeptUntilReset) {
  const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  const std::string first = facade()->getDeviceID();
  EXPECT_TRUE(std::regex_match(first, uuid)) << first;
  EXPECT_EQ(facade()->getDeviceID(), first);
  EXPECT_EQ(facade()->deviceIDKeyChainWrapper()->identifier(), "DeviceID-(null)")
      << "no keychain ID was known at the first read";
  const auto item = backend_->item("DeviceID-(null)");
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->attributes.at(kSecAttrAccount), first);

  facade()->resetDeviceIDFromKeychain();
  EXPECT_FALSE(backend_->item("DeviceID-(null)").has_value());
  const std::string second = facade()->getDeviceID();
  EXPECT_TRUE(std::regex_match(second, uuid)) << second;
  EXPECT_NE(second, first);
}

TEST_F(TQAPISDKKeychainTest, AFailingKeychainStillGivesOneDeviceIDForTheProcess) {
  backend_->failNext(Operation::Add, tq::kKeychainIOError);
  const std::string deviceID = facade()->getDeviceID();
  EXPECT_EQ(facade()->getDeviceID(), deviceID);
  EXPECT_TRUE(log_.contains("Couldn't add the Keychain Item."));
  EXPECT_FALSE(log_.contains(deviceID));
}

TEST_F(TQAPISDKKeychainTest, ADeviceIDTheItemHoldsOutlivesReadsThatFail) {
  backend_->setItem("DeviceID-(null)", {{{kSecAttrAccount, "STORED-ID"}}, ""});
  for (int i = 0; i < 3; ++i) {  // at opening, then at each of the first two requests
    backend_->failNext(Operation::Find, tq::kKeychainIOError);
  }
  const std::string interim = facade()->getDeviceID();
  EXPECT_NE(interim, "STORED-ID");
  EXPECT_EQ(facade()->getDeviceID(), interim) << "one ID for the process while unreadable";
  EXPECT_EQ(facade()->getDeviceID(), "STORED-ID") << "read again, the stored ID wins";
  EXPECT_EQ(backend_->writeCount(), 0U) << "never written over";
}

TEST(TQAPISDKKeychainFiles, ItemsLandAsPrivateFilesInTheChosenDirectory) {
  testsupport::TemporaryDirectory temp;
  const auto dir = temp.path() / "Keychain";
  tq::setKeychainDirectory(dir);
  const auto facade = TQAPISDK::sharedInstance();
  facade->setClientCredentials(TQClientCredentials::initWithClientID("c", "s", "r", "kc"));
  facade->saveAuthCredentialsToKeychain(tq::JSON::parse(R"({"access_token":"A1"})"));
  facade->saveKeychainID("kc");
  const std::string deviceID = facade->getDeviceID();

  EXPECT_EQ(keychaintest::modeOf(dir), 0700);
  const auto names = keychaintest::namesIn(dir);
  ASSERT_EQ(names.size(), 3U);
  for (const auto& name : names) {
    EXPECT_EQ(keychaintest::modeOf(dir / name), 0600) << name;
  }
  // What a later process finds there.
  tq::KeychainFileBackend later(dir);
  tq::KeychainItem item;
  ASSERT_EQ(later.find("DeviceID-kc", item), tq::kKeychainSuccess);
  EXPECT_EQ(item.attributes.at(kSecAttrAccount), deviceID);
  ASSERT_EQ(later.find("kc", item), tq::kKeychainSuccess);
  EXPECT_EQ(tq::JSON::parse(item.data)["access_token"], "A1");
  tq::setDefaultKeychainBackend(nullptr);
}

}  // namespace
