#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// Long enough that a write waiting for the writer would show in the times below; those are
// failure guards, far above what the work takes.
constexpr auto kWriteTimeout = std::chrono::seconds(20);
constexpr auto kPromptly = std::chrono::seconds(5);

class TQStoreResetConcurrencyTest : public StoreFixture {
 protected:
  void SetUp() override {
    StoreFixture::SetUp();
    store()->setWriteTimeout(kWriteTimeout);
  }

  static TQFetchRequest everyResource() { return {.entityName = "TQDBResource"}; }

  static std::shared_ptr<TQDBResource> findOrCreate(
      const std::shared_ptr<TQManagedObjectContext>& context, const std::string& uri) {
    auto row = TQDBResource::findResource(equals("uri", uri), true, context, nullptr).front();
    row->loadFromDictionary(resourceObject(uri + ".jpg", uri));
    return row;
  }
};

TEST_F(TQStoreResetConcurrencyTest, LogoutEmptiesTheStoreAtOnceWhateverHoldsIt) {
  const struct {
    const char* what;
    // Leaves the store held as the case says; answers the context that then saves, if any.
    std::function<std::shared_ptr<TQManagedObjectContext>()> hold;
    TQStoreErrorCode laterSave;
    bool startsAfresh;  // the file cannot be emptied in place
  } cases[] = {
      {"an unsaved find-or-create context",
       [] {
         auto context = store()->backgroundManagedObjectContext();
         findOrCreate(context, "held");
         return context;
       },
       TQStoreErrorCode::StoreWasReset, false},
      {"the main context mid-write",
       [] {
         auto main = store()->mainQueueManagedObjectContext();
         TQDBResource::insertNewObjectIntoContext(main)->loadFromDictionary(
             resourceObject("held.jpg", "held"));
         // Fetching writes the insertion: the context now holds the writer between calls.
         EXPECT_FALSE(main->executeFetchRequest(everyResource(), nullptr).empty());
         return main;
       },
       TQStoreErrorCode::Superseded, false},
      {"an unwritable store file",
       [] {
         EXPECT_TRUE(store()->performWrite(
             store()->currentEpoch(),
             [](TQWriteTransaction& write) {
               write.connection().database().exec("PRAGMA query_only = ON;");
             },
             nullptr));
         return std::shared_ptr<TQManagedObjectContext>();
       },
       TQStoreErrorCode::None, true},
  };
  for (const auto& c : cases) {
    const auto stored = insertRows({resourceObject("a.jpg", "u1"), resourceObject("b.jpg", "u2")});
    ASSERT_TRUE(store()->performWrite(
        store()->currentEpoch(), [](TQWriteTransaction& write) { write.writeETag("Photos", "e1"); },
        nullptr));
    const auto reader = store()->backgroundManagedObjectContext();
    ASSERT_EQ(reader->executeFetchRequest(everyResource(), nullptr).size(), 2u) << c.what;
    const auto holder = c.hold();
    const uint64_t epoch = store()->currentEpoch();

    const auto start = Clock::now();
    TQStoreError error;
    EXPECT_TRUE(store()->deleteAllObjects(&error)) << c.what << ": " << error.localizedDescription;
    EXPECT_LT(Clock::now() - start, kPromptly) << c.what;
    const auto log = logLines();
    EXPECT_EQ(std::ranges::any_of(log,
                                  [](const std::string& line) {
                                    return line.find("starts afresh") != std::string::npos;
                                  }),
              c.startsAfresh)
        << c.what;

    EXPECT_GT(store()->currentEpoch(), epoch) << c.what;
    EXPECT_EQ(rowsInFile("TQDBResource"), 0) << c.what;
    EXPECT_EQ(rowsInFile("TQETag"), 0) << c.what;
    TQStoreError readError;
    EXPECT_TRUE(reader->executeFetchRequest(everyResource(), &readError).empty()) << c.what;
    EXPECT_EQ(readError.code, TQStoreErrorCode::StoreWasReset) << c.what;
    EXPECT_EQ(reader->existingObjectWithID(stored[0]->objectID(), nullptr), nullptr)
        << c.what << ": no cached object of the old account";
    EXPECT_TRUE(store()
                    ->mainQueueManagedObjectContext()
                    ->executeFetchRequest(everyResource(), nullptr)
                    .empty())
        << c.what;
    if (holder) {
      TQStoreError saveError;
      EXPECT_FALSE(holder->save(&saveError)) << c.what;
      EXPECT_EQ(saveError.code, c.laterSave) << c.what;
      EXPECT_EQ(rowsInFile("TQDBResource"), 0) << c.what << ": nothing it held is written";
    }
    EXPECT_EQ(insertRows({resourceObject("next.jpg", "next")}).size(), 1u) << c.what;
    EXPECT_EQ(rowsInFile("TQDBResource"), 1) << c.what << ": the store takes the next account";
    ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  }
}

TEST_F(TQStoreResetConcurrencyTest, FindOrCreateInTwoContextsSideBySideStoresOneRow) {
  const struct {
    const char* what;
    std::function<std::shared_ptr<TQManagedObject>(const std::shared_ptr<TQManagedObjectContext>&)>
        findOrCreate;
    const char* entity;
  } cases[] = {
      {"a resource by uri",
       [](const auto& context) { return TQStoreResetConcurrencyTest::findOrCreate(context, "u"); },
       "TQDBResource"},
      {"an ETag by eTagID",
       [](const auto& context) {
         auto row =
             TQETag::findResource(equals("eTagID", std::string("Photos")), true, context, nullptr)
                 .front();
         row->setETagID("Photos");
         row->setETag("e1");
         return row;
       },
       "TQETag"},
  };
  for (const auto& c : cases) {
    const auto first = store()->backgroundManagedObjectContext();
    const auto second = store()->backgroundManagedObjectContext();
    const auto start = Clock::now();
    const auto firstRow = c.findOrCreate(first);
    const auto secondRow = c.findOrCreate(second);
    EXPECT_EQ(c.findOrCreate(first), firstRow) << c.what << ": its own unsaved row is found";
    EXPECT_LT(Clock::now() - start, kPromptly) << c.what << ": neither waited for the other";
    EXPECT_TRUE(first->save(nullptr)) << c.what;
    EXPECT_TRUE(second->save(nullptr)) << c.what;
    EXPECT_EQ(rowsInFile(c.entity), 1) << c.what;
    EXPECT_EQ(secondRow->objectID(), firstRow->objectID()) << c.what;
    ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  }
}

TEST_F(TQStoreResetConcurrencyTest, AMergeCommitsWhileAHostContextSitsUnsaved) {
  const auto host = store()->backgroundManagedObjectContext();
  findOrCreate(host, "u1");
  TQStoreError error;
  bool merged = false;
  const auto start = Clock::now();
  std::thread merge([&] {
    merged = store()->performWrite(
        store()->currentEpoch(),
        [](TQWriteTransaction& write) {
          const TQResourceValues rows[] = {resourceValues("m.jpg", "u1"),
                                           resourceValues("n.jpg", "u2")};
          write.upsertResources(rows);
        },
        &error);
  });
  merge.join();
  EXPECT_TRUE(merged) << error.localizedDescription;
  EXPECT_LT(Clock::now() - start, kPromptly) << "the merge waited for the host";
  EXPECT_EQ(rowsInFile("TQDBResource"), 2);
  EXPECT_TRUE(host->save(nullptr));
  EXPECT_EQ(textInFile("SELECT name FROM TQDBResource ORDER BY uri"),
            (std::vector<std::string>{"u1.jpg", "n.jpg"}))
      << "the host's row is the merged one, saved last";
}

}  // namespace
