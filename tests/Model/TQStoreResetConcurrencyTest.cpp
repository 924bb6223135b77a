#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
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

TEST_F(TQStoreResetConcurrencyTest, MergesCommitPromptlyWhileAHostContextSitsOnUnsavedWrites) {
  const TQResourceValues merged[] = {resourceValues("m.jpg", "m")};
  const auto mergeBody = [&](TQWriteTransaction& write) { write.upsertResources(merged); };
  const struct {
    const char* what;
    std::function<bool(TQStoreError*)> merge;
  } merges[] = {
      {"performWrite",
       [&](TQStoreError* error) {
         return store()->performWrite(store()->currentEpoch(), mergeBody, error);
       }},
      {"another context's save",
       [&](TQStoreError* error) {
         const auto other = store()->backgroundManagedObjectContext();
         TQDBResource::insertNewObjectIntoContext(other)->loadFromDictionary(
             resourceObject("m.jpg", "m"));
         return other->save(error);
       }},
      {"a queued write",
       [&](TQStoreError* error) {
         std::promise<bool> done;
         store()->performWriteAsync(
             store()->currentEpoch(),
             [&](TQStoreError* queuedError) {
               return store()->performWrite(store()->currentEpoch(), mergeBody, queuedError);
             },
             [&](bool committed, const TQStoreError& queuedError) {
               *error = queuedError;
               done.set_value(committed);
             });
         return done.get_future().get();
       }},
  };
  const auto insert = [](const std::shared_ptr<TQManagedObjectContext>& host, const char* name,
                         const char* uri) {
    TQDBResource::insertNewObjectIntoContext(host)->loadFromDictionary(resourceObject(name, uri));
    // Fetching writes the insertion: the host now holds the writer between calls.
    EXPECT_FALSE(host->executeFetchRequest(everyResource(), nullptr).empty());
  };
  const struct {
    const char* what;
    std::function<void(const std::shared_ptr<TQManagedObjectContext>&)> write;
    std::vector<std::string> committedBeforeSave;
    std::vector<std::string> savedNames;
    size_t savedRelations = 0;
  } hosts[] = {
      {"an insertion, then a fetch",
       [&](const auto& host) { insert(host, "h.jpg", "h"); },
       {"d1.jpg", "d2.jpg", "m.jpg"},
       {"d1.jpg", "d2.jpg", "h.jpg", "m.jpg"}},
      {"a deletion",
       [](const auto& host) {
         EXPECT_TRUE(
             host->deleteObjects("TQDBResource", equals("uri", std::string("d1")), nullptr));
       },
       {"d1.jpg", "d2.jpg", "m.jpg"},
       {"d2.jpg", "m.jpg"}},
      {"an insertion of the uri the merge writes, a deletion, an insertion",
       [&](const auto& host) {
         insert(host, "hm.jpg", "m");
         EXPECT_TRUE(
             host->deleteObjects("TQDBResource", equals("uri", std::string("d2")), nullptr));
         insert(host, "d2-again.jpg", "d2");
       },
       {"d1.jpg", "d2.jpg", "m.jpg"},
       {"d1.jpg", "d2-again.jpg", "hm.jpg"}},
      {"a folder relating an insertion, then a fetch",
       [&](const auto& host) {
         const auto folder = TQETag::insertNewObjectIntoContext(host);
         folder->setETagID("Photos");
         TQDBResource::insertNewObjectIntoContext(host)->loadFromDictionary(
             resourceObject("h.jpg", "h"));
         folder->addResourcesObject(
             TQDBResource::findResource(equals("uri", std::string("h")), false, host, nullptr)
                 .front());
         insert(host, "h2.jpg", "h2");
       },
       {"d1.jpg", "d2.jpg", "m.jpg"},
       {"d1.jpg", "d2.jpg", "h.jpg", "h2.jpg", "m.jpg"},
       1},
  };
  const auto namesBy = [](const std::vector<std::shared_ptr<TQManagedObject>>& objects) {
    std::vector<std::string> names;
    names.reserve(objects.size());
    for (const auto& object : objects) {
      names.push_back(std::dynamic_pointer_cast<TQDBResource>(object)->name().value_or(""));
    }
    std::ranges::sort(names);
    return names;
  };
  for (const auto& m : merges) {
    for (const auto& h : hosts) {
      SCOPED_TRACE(std::string(h.what) + ", merged by " + m.what);
      insertRows({resourceObject("d1.jpg", "d1"), resourceObject("d2.jpg", "d2")});
      const auto host = store()->backgroundManagedObjectContext();
      h.write(host);

      const auto start = Clock::now();
      TQStoreError error;
      EXPECT_TRUE(m.merge(&error)) << error.localizedDescription;
      EXPECT_LT(Clock::now() - start, kPromptly) << "the merge waited for the host";
      EXPECT_TRUE(host->hasChanges());
      EXPECT_EQ(namesBy(host->executeFetchRequest(everyResource(), nullptr)), h.savedNames)
          << "the host sees its own writes over the merge's";
      EXPECT_EQ(textInFile("SELECT name FROM TQDBResource ORDER BY name"), h.committedBeforeSave);

      EXPECT_TRUE(host->save(&error)) << error.localizedDescription;
      EXPECT_EQ(textInFile("SELECT name FROM TQDBResource ORDER BY name"), h.savedNames);
      EXPECT_EQ(rowsInFile("TQDBResource"), static_cast<int64_t>(h.savedNames.size()))
          << "one row per uri";
      size_t relations = 0;
      const auto reader = store()->backgroundManagedObjectContext();
      for (const auto& folder : TQETag::findResource(nullptr, false, reader, nullptr)) {
        relations += folder->resources().size();
      }
      EXPECT_EQ(relations, h.savedRelations);
      ASSERT_TRUE(store()->deleteAllObjects(nullptr));
    }
  }
}

TEST_F(TQStoreResetConcurrencyTest, ALogoutSupersedesTheWritesOfAContextThatYielded) {
  const auto host = store()->backgroundManagedObjectContext();
  TQDBResource::insertNewObjectIntoContext(host)->loadFromDictionary(resourceObject("h.jpg", "h"));
  ASSERT_EQ(host->executeFetchRequest(everyResource(), nullptr).size(), 1u);
  ASSERT_EQ(insertRows({resourceObject("m.jpg", "m")}).size(), 1u) << "the host yields";

  const auto start = Clock::now();
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  EXPECT_LT(Clock::now() - start, kPromptly);
  TQStoreError error;
  EXPECT_FALSE(host->save(&error));
  EXPECT_EQ(error.code, TQStoreErrorCode::Superseded);
  EXPECT_FALSE(host->hasChanges());
  EXPECT_EQ(rowsInFile("TQDBResource"), 0) << "nothing of the host is written";
}

}  // namespace
