#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <stdexcept>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

namespace {

using TQWriteTransactionTest = StoreFixture;
using Body = TQWriteTransaction::Body;

constexpr std::chrono::milliseconds kShortWait{100};

TEST_F(TQWriteTransactionTest, UpsertsKeepOneRowPerURIAndReadsGoThroughTheWriter) {
  std::vector<int64_t> first;
  ASSERT_TRUE(store()->performWrite(
      store()->currentEpoch(),
      [&](TQWriteTransaction& write) {
        const std::vector<TQResourceValues> batch = {
            resourceValues("a", "u1"), resourceValues("b", "u2"), {}, {}};
        first = write.upsertResources(batch);
        EXPECT_EQ(write.resourceRowID("u1"), first[0]) << "its own uncommitted row";
        const TQResourceValues again[] = {resourceValues("a2", "u1")};
        EXPECT_EQ(write.upsertResources(again), std::vector<int64_t>{first[0]});
        const int64_t folder = write.writeETag("Photos", "v1");
        EXPECT_EQ(write.writeETag("Photos", "v2"), folder);
        write.relateResources(folder, first);
        write.relateResources(folder, first);
      },
      nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 4) << "nil uris never meet";

  ASSERT_TRUE(store()->performWrite(
      store()->currentEpoch(),
      [&](TQWriteTransaction& write) {
        EXPECT_EQ(write.resourceRowID("u2"), first[1]) << "an earlier commit's row";
        EXPECT_EQ(write.resourceRowID("u9"), std::nullopt);
      },
      nullptr));
  // A context's insertion with a stored uri updates that row too.
  const auto context = store()->backgroundManagedObjectContext();
  auto row = TQDBResource::insertNewObjectIntoContext(context);
  row->loadFromDictionary(resourceObject("b2", "u2"));
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_EQ(row->objectID().rowID(), first[1]);
  EXPECT_EQ(textInFile("SELECT name FROM TQDBResource WHERE uri IS NOT NULL ORDER BY uri"),
            (std::vector<std::string>{"a2", "b2"}));
  const auto eTags =
      TQETag::findResource(equals("eTagID", std::string("Photos")), false, context, nullptr);
  ASSERT_EQ(eTags.size(), 1u);
  EXPECT_EQ(eTags[0]->eTag(), "v2");
  EXPECT_EQ(eTags[0]->resources().size(), 4u);
}

struct ExitCase {
  const char* reason;
  Body body;
  TQStoreErrorCode expected;
};

TEST_F(TQWriteTransactionTest, EveryWayOutEndsTheTransactionAndFreesTheWriter) {
  // A writer left held would make the next write fail as busy, quickly.
  store()->setWriteTimeout(kShortWait);
  const auto insertOne = [](TQWriteTransaction& write) {
    const TQResourceValues row[] = {resourceValues("a", "u1")};
    write.upsertResources(row);
  };
  const ExitCase cases[] = {
      {"the body returns", insertOne, TQStoreErrorCode::None},
      {"a std::exception",
       [&](TQWriteTransaction& write) {
         insertOne(write);
         throw std::runtime_error("parse failed");
       },
       TQStoreErrorCode::WriteFailed},
      {"anything else thrown",
       [&](TQWriteTransaction& write) {
         insertOne(write);
         throw 42;
       },
       TQStoreErrorCode::WriteFailed},
      {"SQLite refuses a statement",
       [&](TQWriteTransaction& write) {
         insertOne(write);
         write.connection().database().exec("INSERT INTO nowhere VALUES (1)");
       },
       TQStoreErrorCode::SQLiteFailure},
      {"a key that is no attribute",
       [&](TQWriteTransaction& write) {
         insertOne(write);
         const tq::Value values[] = {std::string("red")};
         write.deleteObjectsWhereIn("TQDBResource", "colour", values);
       },
       TQStoreErrorCode::UnknownKey},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(store()->deleteAllObjects(nullptr)) << c.reason;
    TQStoreError error;
    EXPECT_EQ(store()->performWrite(store()->currentEpoch(), c.body, &error),
              c.expected == TQStoreErrorCode::None)
        << c.reason;
    EXPECT_EQ(error.code, c.expected) << c.reason;
    EXPECT_EQ(rowsInFile("TQDBResource"), c.expected == TQStoreErrorCode::None ? 1 : 0) << c.reason;
    EXPECT_TRUE(store()->performWrite(store()->currentEpoch(), insertOne, &error))
        << c.reason << ": " << error.localizedDescription;
  }
}

TEST_F(TQWriteTransactionTest, AWriteThatCannotBeginCommitsNothing) {
  store()->setWriteTimeout(kShortWait);
  const uint64_t before = store()->currentEpoch();
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  bool ran = false;
  TQStoreError error;
  EXPECT_FALSE(store()->performWrite(
      before, [&](TQWriteTransaction&) { ran = true; }, &error));
  EXPECT_EQ(error.code, TQStoreErrorCode::StoreWasReset) << "a logout came after the work began";
  EXPECT_FALSE(ran);

  const auto holder = store()->backgroundManagedObjectContext();
  ASSERT_TRUE(holder->beginWriting(nullptr));
  const auto waiting = store()->backgroundManagedObjectContext();
  TQDBResource::insertNewObjectIntoContext(waiting)->loadFromDictionary(resourceObject("a", "u1"));
  const struct {
    const char* reason;
    std::function<bool(TQStoreError*)> write;
  } busy[] = {
      {"performWrite",
       [&](TQStoreError* e) {
         return store()->performWrite(
             store()->currentEpoch(), [&](auto&) { ran = true; }, e);
       }},
      {"a context's save", [&](TQStoreError* e) { return waiting->save(e); }},
  };
  for (const auto& c : busy) {
    error = {};
    EXPECT_FALSE(c.write(&error)) << c.reason;
    EXPECT_EQ(error.code, TQStoreErrorCode::StoreBusy) << c.reason;
  }
  EXPECT_FALSE(ran);
  EXPECT_TRUE(waiting->hasChanges()) << "a busy store keeps the changes for the next try";
  holder->rollback();
  EXPECT_TRUE(waiting->save(nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 1);
}

TEST_F(TQWriteTransactionTest, DeletesASetOfValuesInOneStatement) {
  constexpr size_t kRows = 20000;
  const std::vector<std::string> odd = {"it's",           "back\\slash \"quoted\"",
                                        "tab\tand\nline", std::string("nul\0inside", 10),
                                        "caf\xC3\xA9",    "not utf-8 \xFF\x80"};
  std::vector<TQResourceValues> rows(kRows + odd.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i].uri = i < kRows ? "u" + std::to_string(i) : odd[i - kRows];
    rows[i].size = i < kRows ? TQNumber::integer(static_cast<int64_t>(i)) : TQNumber::real(0.5);
  }
  std::vector<tq::Value> evenURIs;
  for (size_t i = 0; i < kRows; i += 2) {
    evenURIs.emplace_back("u" + std::to_string(i));
  }
  std::vector<tq::Value> oddURIs(odd.begin(), odd.end());
  oddURIs.emplace_back(std::string("nul"));  // the text before the NUL is no match
  const struct {
    const char* reason;
    const char* key;
    std::vector<tq::Value> values;
    int64_t deleted;
  } cases[] = {
      {"ten thousand uris", "uri", evenURIs, static_cast<int64_t>(kRows / 2)},
      {"text that SQL and JSON escape", "uri", oddURIs, static_cast<int64_t>(odd.size())},
      {"values of another kind, nil and absent uris match nothing",
       "uri",
       {int64_t{1}, tq::Value{}, true, std::string("u999999")},
       0},
      {"numbers, integral and real", "size", {int64_t{1}, int64_t{3}, 0.5, std::string("5")}, 8},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(store()->deleteAllObjects(nullptr));
    // A value named twice deletes its rows once.
    std::vector<tq::Value> values = c.values;
    values.push_back(values.front());
    int64_t deleted = -1;
    ASSERT_TRUE(store()->performWrite(
        store()->currentEpoch(),
        [&](TQWriteTransaction& write) {
          write.upsertResources(rows);
          deleted = write.deleteObjectsWhereIn("TQDBResource", c.key, values);
        },
        nullptr))
        << c.reason;
    EXPECT_EQ(deleted, c.deleted) << c.reason;
    EXPECT_EQ(rowsInFile("TQDBResource"), static_cast<int64_t>(rows.size()) - c.deleted)
        << c.reason;
  }
}

}  // namespace
