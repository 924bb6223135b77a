#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Keychain/KeychainItemWrapper.h"
#include "QuenlarCloudAPI/Platform/KeychainMemoryBackend.h"
#include "tests/Keychain/KeychainTestSupport.h"

namespace {

using Operation = tq::KeychainMemoryBackend::Operation;
using keychaintest::LogCapture;

constexpr char kSecret[] = "SECRET-TOKEN-91c2";

class KeychainItemWrapperTest : public ::testing::Test {
 protected:
  std::shared_ptr<KeychainItemWrapper> open(const std::string& identifier = "item") {
    return KeychainItemWrapper::initWithIdentifier(identifier, std::nullopt, backend_);
  }

  std::shared_ptr<tq::KeychainMemoryBackend> backend_ =
      std::make_shared<tq::KeychainMemoryBackend>();
  LogCapture log_;
};

TEST_F(KeychainItemWrapperTest, ANewItemHasAnEmptyCopyAndStaysAbsentUntilAChange) {
  const auto store = open();
  const KeychainItemWrapper::Dictionary expected = {{kSecAttrAccount, ""},
                                                    {kSecAttrLabel, ""},
                                                    {kSecAttrDescription, ""},
                                                    {kSecValueData, ""},
                                                    {kSecAttrGeneric, "item"}};
  EXPECT_EQ(store->keychainItemData(), expected);
  EXPECT_EQ(backend_->writeCount(), 0U);
  EXPECT_FALSE(backend_->item("item").has_value());

  store->setObject(std::string(), kSecAttrAccount);
  EXPECT_EQ(backend_->writeCount(), 0U) << "empty text equals the empty copy's value";
}

TEST_F(KeychainItemWrapperTest, OnlyChangingValuesAreWritten) {
  const auto store = open();
  const struct {
    const char* reason;
    std::optional<std::string> value;
    const char* key;
    size_t adds;
    size_t updates;
  } steps[] = {
      {"a first change adds the item", "alice", kSecAttrAccount, 1, 0},
      {"the same value again writes nothing", "alice", kSecAttrAccount, 1, 0},
      {"no value is ignored", std::nullopt, kSecAttrAccount, 1, 0},
      {"a new value updates", "bob", kSecAttrAccount, 1, 1},
      {"a key the copy lacks is a change", kSecAttrAccessibleWhenUnlocked, kSecAttrAccessible, 1,
       2},
      {"data are a value like any other", kSecret, kSecValueData, 1, 3},
  };
  for (const auto& step : steps) {
    store->setObject(step.value, step.key);
    EXPECT_EQ(backend_->count(Operation::Add), step.adds) << step.reason;
    EXPECT_EQ(backend_->count(Operation::Update), step.updates) << step.reason;
  }
  EXPECT_EQ(store->objectForKey(kSecAttrAccount), "bob");
  const auto stored = backend_->item("item");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->data, kSecret);
  EXPECT_EQ(stored->attributes.at(kSecAttrAccount), "bob");
  EXPECT_EQ(stored->attributes.at(kSecAttrGeneric), "item");
  EXPECT_FALSE(stored->attributes.contains(kSecValueData)) << "data travel apart";

  const auto reopened = open();
  EXPECT_EQ(reopened->keychainItemData(), store->keychainItemData());
  EXPECT_EQ(backend_->count(Operation::Add), 1U);
}

TEST_F(KeychainItemWrapperTest, ResetDeletesAndEmptiesWithoutWritingBack) {
  const auto store = open();
  store->setObject(kSecAttrAccessibleWhenUnlocked, kSecAttrAccessible);
  store->setObject("alice", kSecAttrAccount);
  store->setObject(kSecret, kSecValueData);
  const auto writesBefore = backend_->count(Operation::Add) + backend_->count(Operation::Update);

  store->resetKeychainItem();
  EXPECT_FALSE(backend_->item("item").has_value());
  EXPECT_EQ(store->objectForKey(kSecAttrAccount), "");
  EXPECT_EQ(store->objectForKey(kSecValueData), "");
  EXPECT_EQ(store->objectForKey(kSecAttrAccessible), kSecAttrAccessibleWhenUnlocked)
      << "other attributes stay";
  EXPECT_EQ(backend_->count(Operation::Add) + backend_->count(Operation::Update), writesBefore);

  store->resetKeychainItem();  // an absent item is fine
  EXPECT_TRUE(log_.lines().empty()) << log_.text();

  store->setObject("carol", kSecAttrAccount);
  ASSERT_TRUE(backend_->item("item").has_value());
  EXPECT_EQ(backend_->item("item")->attributes.at(kSecAttrAccessible),
            kSecAttrAccessibleWhenUnlocked)
      << "a later save adds the item again, with what the copy kept";
}

TEST_F(KeychainItemWrapperTest, KeychainFailuresAreLoggedAndTheCopyKeepsTheValue) {
  const struct {
    const char* reason;
    bool itemExists;
    Operation failing;
    const char* message;
  } cases[] = {
      {"add fails", false, Operation::Add, "Couldn't add the Keychain Item."},
      {"update fails", true, Operation::Update, "Couldn't update the Keychain Item."},
      {"delete fails", true, Operation::Remove, "Problem deleting current dictionary."},
      {"reading the item fails", true, Operation::Find,
       "Serious error, no matching item found in the keychain."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    backend_ = std::make_shared<tq::KeychainMemoryBackend>();
    log_.clear();
    if (c.itemExists) {
      backend_->setItem("item", {{{kSecAttrGeneric, "item"}, {kSecAttrAccount, "old"}}, "old"});
    }
    if (c.failing == Operation::Find) {
      backend_->failNext(Operation::Find, tq::kKeychainIOError);
    }
    const auto store = open();
    if (c.failing != Operation::Find) {
      backend_->failNext(c.failing, tq::kKeychainIOError);
    }
    if (c.failing == Operation::Remove) {
      store->resetKeychainItem();
      EXPECT_EQ(store->objectForKey(kSecValueData), "") << "the copy is emptied all the same";
    } else {
      EXPECT_NO_THROW(store->setObject(kSecret, kSecValueData));
      EXPECT_EQ(store->objectForKey(kSecValueData), kSecret);
    }
    ASSERT_EQ(log_.lines().size(), 1U) << log_.text();
    EXPECT_EQ(log_.lines()[0].rfind(c.message, 0), 0U) << log_.lines()[0];
    EXPECT_FALSE(log_.contains(kSecret));
  }
}

TEST_F(KeychainItemWrapperTest, AnItemThatCannotBeReadIsNeverWrittenOver) {
  const struct {
    const char* reason;
    bool itemExists;
    int failedReads;  // reads answering an I/O error: at opening, then at the change
    std::optional<std::string> accountAtOpen;
    bool changeApplies;
  } cases[] = {
      {"still unreadable at the change: refused", true, 2, std::nullopt, false},
      {"readable again at the change: applied over the item", true, 1, std::nullopt, true},
      {"not found: starts empty and writes", false, 0, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    backend_ = std::make_shared<tq::KeychainMemoryBackend>();
    log_.clear();
    if (c.itemExists) {
      backend_->setItem("item",
                        {{{kSecAttrGeneric, "item"}, {kSecAttrAccount, "ACCOUNT-OLD"}}, kSecret});
    }
    for (int i = 0; i < c.failedReads; ++i) {
      backend_->failNext(Operation::Find, tq::kKeychainIOError);
    }
    const auto store = open();
    EXPECT_EQ(store->objectForKey(kSecAttrAccount), c.accountAtOpen);

    store->setObject("ACCOUNT-NEW", kSecAttrAccount);
    const auto item = backend_->item("item");
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->attributes.at(kSecAttrAccount),
              c.changeApplies ? "ACCOUNT-NEW" : "ACCOUNT-OLD");
    EXPECT_EQ(item->data, c.itemExists ? kSecret : "");
    EXPECT_EQ(store->objectForKey(kSecAttrAccount),
              c.changeApplies ? std::optional<std::string>("ACCOUNT-NEW") : std::nullopt);
    EXPECT_EQ(log_.contains("still cannot be read"), !c.changeApplies) << log_.text();
    EXPECT_FALSE(log_.contains(kSecret) || log_.contains("ACCOUNT-")) << "no item data logged";
  }
}

TEST_F(KeychainItemWrapperTest, DataThatAreNotTextHaveNoTextValue) {
  backend_->setItem("item", {{{kSecAttrGeneric, "item"}}, std::string("\xff\xfe", 2)});
  EXPECT_EQ(open()->objectForKey(kSecValueData), std::nullopt);
}

TEST_F(KeychainItemWrapperTest, AnEmptyIdentifierIsRefused) {
  try {
    open("");
    FAIL() << "expected TQException";
  } catch (const TQException& e) {
    EXPECT_EQ(e.name(), NSInvalidArgumentException);
  }
  EXPECT_EQ(backend_->count(Operation::Find), 0U);
}

}  // namespace
