// First uses of the keychain stores from several threads at once. Each test runs in its own
// process, so the facade's stores are made afresh in every test.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"
#include "QuenlarCloudAPI/Model/TQClientCredentials.h"
#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"
#include "QuenlarCloudAPI/Platform/KeychainMemoryBackend.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/TestSupport.h"

namespace {

using Operation = tq::KeychainMemoryBackend::Operation;
constexpr std::size_t kThreads = 8;

// Runs `body(i)` on kThreads threads released together.
template <class Body>
void runTogether(Body body) {
  testsupport::Latch start;
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < kThreads; ++i) {
    threads.emplace_back([&start, &body, i] {
      ASSERT_TRUE(start.wait());
      body(i);
    });
  }
  start.countDown();
  for (auto& thread : threads) {
    thread.join();
  }
}

class DeviceIDConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override { tq::setDefaultKeychainBackend(backend_); }
  void TearDown() override { tq::setDefaultKeychainBackend(nullptr); }

  std::shared_ptr<tq::KeychainMemoryBackend> backend_ =
      std::make_shared<tq::KeychainMemoryBackend>();
};

TEST_F(DeviceIDConcurrencyTest, TheDeviceIDIsMadeOnceWhenThreadsAskTogether) {
  std::vector<std::string> answers(kThreads);
  runTogether(
      [&answers](std::size_t i) { answers[i] = TQAPISDK::sharedInstance()->getDeviceID(); });
  EXPECT_EQ(std::set<std::string>(answers.begin(), answers.end()).size(), 1U);
  EXPECT_EQ(backend_->count(Operation::Add), 1U);
  EXPECT_EQ(backend_->count(Operation::Update), 0U);
  EXPECT_EQ(backend_->item("DeviceID-(null)")->attributes.at(kSecAttrAccount), answers[0]);
}

TEST_F(DeviceIDConcurrencyTest, EachStoreIsMadeOnceWhenThreadsAskTogether) {
  const auto facade = TQAPISDK::sharedInstance();
  facade->setClientCredentials(TQClientCredentials::initWithClientID("c", "s", "r", "kc"));
  std::vector<std::shared_ptr<KeychainItemWrapper>> stores(kThreads * 3);
  runTogether([&stores, &facade](std::size_t i) {
    stores[3 * i] = facade->keychainWrapper();
    stores[3 * i + 1] = facade->keyChainIDWrapper();
    stores[3 * i + 2] = facade->deviceIDKeyChainWrapper();
  });
  for (std::size_t i = 1; i < kThreads; ++i) {
    for (std::size_t kind = 0; kind < 3; ++kind) {
      EXPECT_EQ(stores[3 * i + kind], stores[kind]) << "store " << kind;
    }
  }
  EXPECT_EQ(backend_->count(Operation::Add), 1U) << "only the credentials item is written";
}

TEST(KeychainItemWrapperConcurrency, OneStoreServesManyThreadsOverFiles) {
  testsupport::TemporaryDirectory temp;
  auto backend = std::make_shared<tq::KeychainFileBackend>(temp.path() / "Keychain");
  const auto store = KeychainItemWrapper::initWithIdentifier("item", std::nullopt, backend);
  runTogether([&store](std::size_t i) {
    for (int round = 0; round < 20; ++round) {
      store->setObject("value-" + std::to_string(i) + "-" + std::to_string(round), kSecAttrAccount);
      EXPECT_TRUE(store->objectForKey(kSecAttrAccount).has_value());
      EXPECT_EQ(store->keychainItemData().at(kSecAttrGeneric), "item");
    }
  });
  // Every write went through whole: the file holds what the copy holds.
  const auto reopened = KeychainItemWrapper::initWithIdentifier("item", std::nullopt, backend);
  EXPECT_EQ(reopened->keychainItemData(), store->keychainItemData());
}

}  // namespace
