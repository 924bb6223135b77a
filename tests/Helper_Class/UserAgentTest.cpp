// The "User-Agent" value, the device model and the carrier-token split. Each test runs in its own
// process, so the facade and its device-ID store start fresh.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"
#include "QuenlarCloudAPI/Helper_Class/TQSubscriber_Helper.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Device.h"
#include "QuenlarCloudAPI/Platform/KeychainMemoryBackend.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"

namespace {

class UserAgentTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    tq::setDefaultKeychainBackend(std::make_shared<tq::KeychainMemoryBackend>());
  }
  void TearDown() override {
    ServerFixture::TearDown();
    tq::setDefaultKeychainBackend(nullptr);
    tq::Device::setCarrierTokenProvider(nullptr);
  }

  // The value spelled out field by field, as the server reads it.
  static std::string expected(const std::string& appName, const std::string& appVersion,
                              const std::string& clientID, const std::string& libraryVersion) {
    return "QLRAPI-SDK;" + appName + "(" + appVersion + ";" + tq::Device::systemName() + ";" +
           tq::Device::systemVersion() + ";" + TQAPISDK::sharedInstance()->getDeviceID() + ";" +
           TQAPIUtility::deviceModel() + ";Apple)/QuenlarCloudAPI(" + clientID + ";iOS;" +
           libraryVersion + ")";
  }

  // Points the main bundle at a new directory whose Info.plist holds `entries` (none at all when
  // `entries` is nullopt).
  void useMainBundle(
      const std::string& name,
      const std::optional<std::vector<std::pair<std::string, std::string>>>& entries) {
    const auto dir = root() / name;
    std::filesystem::create_directories(dir);
    if (entries) {
      std::ofstream(dir / "Info.plist") << plistText(*entries);
    }
    tq::Bundle::setMainBundlePath(dir);
  }
};

// The value is kept between requests; each change of what it is built from shows in the next one.
TEST_F(UserAgentTest, ValueFollowsTheSignInStateAndTheDeviceID) {
  const auto facade = TQAPISDK::sharedInstance();
  const auto signIn = [&facade](const std::string& clientID) {
    facade->setClientCredentials(
        TQClientCredentials::initWithClientID(clientID, "secret", "app://done", "kc"));
  };
  const std::string before = TQAPIUtility::deviceInformationForUserAgent();
  EXPECT_EQ(before, expected("TestHost", "2.0", "", "1.9"));
  EXPECT_NE(before.find("/QuenlarCloudAPI(;iOS;1.9)"), std::string::npos) << before;
  const struct {
    const char* reason;
    std::function<void()> change;
    std::string clientID;
    bool newDeviceID;
  } steps[] = {
      {"sign-in", [&] { signIn("client-7"); }, "client-7", false},
      {"logout", [&] { facade->setClientCredentials(nullptr); }, "", false},
      {"sign-in with another client", [&] { signIn("client-8"); }, "client-8", false},
      {"device ID reset", [&] { facade->resetDeviceIDFromKeychain(); }, "client-8", true},
  };
  std::string deviceID = facade->getDeviceID();
  for (const auto& step : steps) {
    step.change();
    const std::string value = TQAPIUtility::deviceInformationForUserAgent();
    EXPECT_EQ(value, expected("TestHost", "2.0", step.clientID, "1.9")) << step.reason;
    EXPECT_EQ(facade->getDeviceID() != deviceID, step.newDeviceID) << step.reason;
    deviceID = facade->getDeviceID();
  }
}

TEST_F(UserAgentTest, MissingOrOddInformationKeepsEverySeparator) {
  const struct {
    const char* reason;
    std::optional<std::vector<std::pair<std::string, std::string>>> mainInfo;
    std::string appName;
    std::string appVersion;
  } cases[] = {
      {"no Info.plist at all", std::nullopt, "", ""},
      {"no name",
       std::vector<std::pair<std::string, std::string>>{{"CFBundleShortVersionString", "3.1"}}, "",
       "3.1"},
      {"separators inside values are not escaped",
       std::vector<std::pair<std::string, std::string>>{{"CFBundleName", "My;App (beta)"},
                                                        {"CFBundleShortVersionString", "1)2"}},
       "My;App (beta)", "1)2"},
  };
  int n = 0;
  for (const auto& c : cases) {
    useMainBundle("Main" + std::to_string(n++) + ".bundle", c.mainInfo);
    EXPECT_EQ(TQAPIUtility::deviceInformationForUserAgent(),
              expected(c.appName, c.appVersion, "", "1.9"))
        << c.reason;
  }
  tq::Bundle::setLibraryBundlePath(root() / "no-such-bundle");
  EXPECT_EQ(TQAPIUtility::deviceInformationForUserAgent(), expected("My;App (beta)", "1)2", "", ""))
      << "no library version";
}

TEST(TQAPIUtilityDeviceModel, MachineCodesName) {
  const struct {
    const char* code;
    const char* model;
    const char* reason;
  } cases[] = {
      {"iPhone6,2", "iPhone 5s", "a known code"},
      {"iPad2,5", "iPad Mini", "a known code"},
      {"i386", "Simulator", "the old simulator"},
      {"x86_64", "Simulator", "contains none of the words"},
      {"aarch64", "Simulator", "contains none of the words"},
      {"iPhone9,9", "iPhone", "unknown code with iPhone"},
      {"iPad9,9", "iPad", "unknown code with iPad"},
      {"iPod9,9", "iPod Touch", "unknown code with iPod"},
      {"iPodiPad", "iPod Touch", "iPod is tested before iPad"},
      {"iphone9,9", "Simulator", "the words are matched case-sensitively"},
      {"", "Simulator", "no code"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQAPIUtility::deviceModelForMachineCode(c.code), c.model) << c.reason;
  }
  EXPECT_EQ(TQAPIUtility::deviceModel(),
            TQAPIUtility::deviceModelForMachineCode(tq::Device::machine()));
}

TEST(TQSubscriberHelper, CarrierTokenSplit) {
  const struct {
    std::optional<std::string> token;
    std::optional<std::string> mdn;
    std::optional<std::string> second;
    const char* reason;
  } cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, "no provider answer"},
      {"", std::nullopt, std::nullopt, "an empty token"},
      {"123456789", std::nullopt, std::nullopt, "shorter than an MDN: neither part"},
      {"1234567890", "1234567890", "", "exactly an MDN: an empty second token"},
      {"1234567890SPC-token", "1234567890", "SPC-token", "an MDN and a second token"},
      {"1234567890\xc3\xa9", std::nullopt, std::nullopt, "not ASCII"},
  };
  for (const auto& c : cases) {
    tq::Device::setCarrierTokenProvider([token = c.token] { return token; });
    EXPECT_EQ(TQSubscriber_Helper::MDNOfSubscriber(), c.mdn) << c.reason;
    EXPECT_EQ(TQSubscriber_Helper::SPCTokenForSubscriber(), c.second) << c.reason;
  }
  tq::Device::setCarrierTokenProvider(nullptr);
  EXPECT_EQ(TQSubscriber_Helper::MDNOfSubscriber(), std::nullopt) << "no provider";
}

}  // namespace
