#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "tests/Model/StoreFixture.h"

namespace {

using TQPersistentStoreTest = StoreFixture;

std::vector<std::string> names(const std::vector<std::shared_ptr<TQDBResource>>& rows) {
  std::vector<std::string> result;
  result.reserve(rows.size());
  for (const auto& row : rows) {
    result.push_back(row->name().value_or("nil"));
  }
  return result;
}

TEST_F(TQPersistentStoreTest, EntityNamesAreClassNames) {
  EXPECT_EQ(TQDBResource::entityName(), "TQDBResource");
  EXPECT_EQ(TQETag::entityName(), "TQETag");
  EXPECT_EQ(TQDBResource::nameKey(), "name");
}

TEST_F(TQPersistentStoreTest, OpensOnAFreshDirectoryWithTheModelVersion) {
  ASSERT_TRUE(store()->hasStore());
  EXPECT_EQ(TQPersistentStore::storeURL(), directory_.path() / "Documents" / "TQCloudDB.sqlite");
  tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                              tq::SQLiteDatabase::OpenMode::ReadOnly);
  auto version = database.prepare("PRAGMA user_version");
  ASSERT_TRUE(version.step());
  EXPECT_EQ(version.columnInt64(0), TQDataModel::kModelVersion);
  EXPECT_TRUE(logLines().empty());
}

TEST_F(TQPersistentStoreTest, FindOrCreate) {
  const auto context = store()->backgroundManagedObjectContext();
  const auto byURI = equals("uri", std::string("cloud://file/1"));
  EXPECT_TRUE(TQDBResource::findResource(byURI, false, context, nullptr).empty())
      << "no match and no creation answers nil";
  const auto created = TQDBResource::findResource(byURI, true, context, nullptr);
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0]->values(), TQResourceValues{}) << "a new object has every attribute nil";
  EXPECT_TRUE(created[0]->hasChanges());

  created[0]->loadFromDictionary(resourceObject("a.jpg", "cloud://file/1"));
  const auto found = TQDBResource::findResource(byURI, true, context, nullptr);
  ASSERT_EQ(found.size(), 1u) << "the unsaved row is seen by its own context";
  EXPECT_EQ(found[0], created[0]) << "one object per row and context";
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
  EXPECT_TRUE(context->save(nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 1) << "a background save reaches the file";
}

TEST_F(TQPersistentStoreTest, FetchesInStoredOrderAndSorts) {
  insertRows({resourceObject("b.jpg", "u2"), resourceObject("a.jpg", "u1"),
              resourceObject("c.jpg", "u3")});
  const auto context = store()->backgroundManagedObjectContext();
  EXPECT_EQ(names(TQDBResource::findResource(nullptr, false, context, nullptr)),
            (std::vector<std::string>{"b.jpg", "a.jpg", "c.jpg"}));
  const TQFetchRequest request{.entityName = "TQDBResource",
                               .sortDescriptors = {{TQDBResource::nameKey(), false}}};
  const auto identifiers = context->executeFetchRequestForObjectIDs(request, nullptr);
  std::vector<std::string> sorted;
  sorted.reserve(identifiers.size());
  for (const auto& identifier : identifiers) {
    sorted.push_back(TQResource::initWithDBResourceID(identifier)->name().value_or("nil"));
  }
  EXPECT_EQ(sorted, (std::vector<std::string>{"c.jpg", "b.jpg", "a.jpg"}));
}

// The media lists read the rows whole with their search; they must get what the search's
// identifiers and then existingObjectsWithIDs of them give.
TEST_F(TQPersistentStoreTest, CommittedObjectsAreTheFetchedIdentifiersObjects) {
  const auto kept = insertRows({resourceObject("b.jpg", "u2"), resourceObject("a.jpg", "u1"),
                                resourceObject("c.jpg", "u3"), resourceObject("a.jpg", "u4")});
  const auto main = store()->mainQueueManagedObjectContext();
  // A row whose object lives already: both roads answer that object.
  const auto live = main->existingObjectWithID(kept[2]->objectID(), nullptr);
  struct Case {
    const char* what;
    TQFetchRequest request;
  };
  const Case cases[] = {
      {"every row by name", {.entityName = "TQDBResource", .sortDescriptors = {{"name", true}}}},
      {"by name backwards", {.entityName = "TQDBResource", .sortDescriptors = {{"name", false}}}},
      {"some rows",
       {.entityName = "TQDBResource",
        .predicate = equals("name", std::string("a.jpg")),
        .sortDescriptors = {{"uri", false}}}},
      {"no row", {.entityName = "TQDBResource", .predicate = equals("name", std::string("z"))}},
      {"an unknown sort key",
       {.entityName = "TQDBResource", .sortDescriptors = {{"nameless", true}}}},
      {"an unknown entity", {.entityName = "TQNothing"}},
  };
  for (const Case& c : cases) {
    TQStoreError searchError;
    const auto identifiers =
        store()->backgroundManagedObjectContext()->executeFetchRequestForObjectIDs(c.request,
                                                                                   &searchError);
    TQStoreError error;
    const auto rows = main->executeFetchRequestForCommittedObjects(c.request, &error);
    ASSERT_TRUE(rows.has_value()) << c.what;
    EXPECT_EQ(error.code, searchError.code) << c.what;
    ASSERT_EQ(rows->size(), identifiers.size()) << c.what;
    const auto objects = main->existingObjectsWithIDs(identifiers, nullptr);
    for (size_t i = 0; i < identifiers.size(); ++i) {
      EXPECT_EQ((*rows)[i].first, identifiers[i]) << c.what << " row " << i;
      const auto row = std::dynamic_pointer_cast<TQDBResource>((*rows)[i].second);
      ASSERT_NE(row, nullptr) << c.what << " row " << i;
      EXPECT_EQ(row, objects[i]) << c.what << " row " << i << ": one object per row";
      EXPECT_EQ(row->values(), std::dynamic_pointer_cast<TQDBResource>(objects[i])->values())
          << c.what << " row " << i;
    }
  }
  EXPECT_NE(live, nullptr);

  // While the main-queue context writes, its own rows are the two-step road's to show.
  ASSERT_TRUE(main->beginWriting(nullptr));
  EXPECT_FALSE(main->executeFetchRequestForCommittedObjects(cases[0].request, nullptr));
  main->rollback();
}

TEST_F(TQPersistentStoreTest, EveryAttributeSurvivesTheStore) {
  auto object = resourceObject("clip.mp4", "u1");
  object["deleted"] = true;
  object["count"] = 2.5;
  object["systemAttributes"]["Tags"] = "beach";
  object["systemAttributes"]["GeoLatitude"] = -33.75;
  const TQResourceValues written = insertRows({object})[0]->values();
  const auto context = store()->backgroundManagedObjectContext();
  const auto read = TQDBResource::findResource(nullptr, false, context, nullptr);
  ASSERT_EQ(read.size(), 1u);
  // Booleans kept in a number column come back as the number 1, which prints the same.
  EXPECT_EQ(read[0]->values(), written);
  EXPECT_EQ(read[0]->deleted()->description(), "1");
  EXPECT_EQ(read[0]->capturedDate(), written.capturedDate);
}

struct KeyCase {
  const char* reason;
  tq::PredicatePtr predicate;
  std::vector<TQSortDescriptor> sort;
  size_t expectedRows;
  bool logged;
};

TEST_F(TQPersistentStoreTest, KeysThatAreNoAttributesMatchNothingAndNeverReachSQL) {
  insertRows({resourceObject("a.jpg", "u1"), resourceObject("b.jpg", "u2")});
  const std::string injected = "name\" = \"name\" OR 1=1 --";
  const KeyCase cases[] = {
      {"a known key", equals("name", std::string("a.jpg")), {}, 1, false},
      {"an unknown key", equals("colour", std::string("red")), {}, 0, true},
      {"SQL in a key", equals(injected, std::string("x")), {}, 0, true},
      {"the record's spelling is not the store's",
       equals("itemUID", std::string("item-u1")),
       {},
       0,
       true},
      {"an unknown sort key", nullptr, {{"colour", true}}, 0, true},
      {"SQL in a sort key", nullptr, {{injected, true}}, 0, true},
  };
  const auto context = store()->backgroundManagedObjectContext();
  for (const auto& c : cases) {
    const size_t linesBefore = logLines().size();
    TQStoreError error;
    const TQFetchRequest request{
        .entityName = "TQDBResource", .predicate = c.predicate, .sortDescriptors = c.sort};
    EXPECT_EQ(context->executeFetchRequest(request, &error).size(), c.expectedRows) << c.reason;
    EXPECT_EQ(context->executeFetchRequestForObjectIDs(request, nullptr).size(), c.expectedRows)
        << c.reason;
    EXPECT_EQ(logLines().size() > linesBefore, c.logged) << c.reason;
    EXPECT_EQ(error.code == TQStoreErrorCode::UnknownKey, c.logged) << c.reason;
  }
  EXPECT_EQ(rowsInFile("TQDBResource"), 2) << "nothing was changed by the injected text";
}

TEST_F(TQPersistentStoreTest, DeletionReachesTheFileOnlyWhenSaved) {
  insertRows({resourceObject("a.jpg", "u1"), resourceObject("b.jpg", "u2"),
              resourceObject("c.jpg", "u3")});
  const auto context = store()->backgroundManagedObjectContext();
  ASSERT_TRUE(TQDBResource::deleteResource(equals("uri", std::string("u2")), context, nullptr));
  EXPECT_EQ(TQDBResource::findResource(nullptr, false, context, nullptr).size(), 2u);
  EXPECT_EQ(rowsInFile("TQDBResource"), 3) << "not saved yet";
  ASSERT_TRUE(TQDBResource::deleteResource(nullptr, context, nullptr)) << "nil deletes every row";
  EXPECT_TRUE(TQDBResource::findResource(nullptr, false, context, nullptr).empty());
  EXPECT_EQ(rowsInFile("TQDBResource"), 3);
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
}

TEST_F(TQPersistentStoreTest, AnUnsavedContextLeavesTheFileAlone) {
  {
    const auto context = store()->backgroundManagedObjectContext();
    TQDBResource::insertNewObjectIntoContext(context)->setName("draft");
    ASSERT_EQ(TQDBResource::findResource(nullptr, false, context, nullptr).size(), 1u);
    EXPECT_TRUE(context->hasChanges());
  }
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
  EXPECT_TRUE(insertRows({resourceObject("a.jpg", "u1")}).size() == 1u)
      << "the writer was released by the abandoned context";
}

TEST_F(TQPersistentStoreTest, LongListsOfAlternativesAreDeleted) {
  std::vector<tq::JSON> objects;
  std::vector<tq::PredicatePtr> uris;   // one key: deleted as one set
  std::vector<tq::PredicatePtr> mixed;  // two keys: deleted in slices
  for (int i = 0; i < 450; ++i) {
    const std::string n = std::to_string(i);
    objects.push_back(resourceObject("f" + n, "u" + n));
    if (i % 2 == 0) {
      uris.push_back(equals("uri", "u" + n));
    } else if (i < 300) {
      mixed.push_back(i % 4 == 1 ? equals("name", "f" + n) : equals("uri", "u" + n));
    }
  }
  insertRows(objects);
  const auto context = store()->backgroundManagedObjectContext();
  for (const auto& alternatives : {uris, mixed, std::vector<tq::PredicatePtr>{}}) {
    ASSERT_TRUE(
        TQDBResource::deleteResource(tq::Predicate::orPredicate(alternatives), context, nullptr));
  }
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 450 - 225 - 150) << "an empty OR deletes nothing";
}

TEST_F(TQPersistentStoreTest, BackgroundContextsAreNewEachTimeWithTheMainOneAsParent) {
  const auto first = store()->backgroundManagedObjectContext();
  const auto second = store()->backgroundManagedObjectContext();
  EXPECT_NE(first, second);
  EXPECT_EQ(first->parentContext(), store()->mainQueueManagedObjectContext());
  EXPECT_EQ(second->parentContext(), store()->mainQueueManagedObjectContext());
  EXPECT_EQ(first->concurrencyType(), TQManagedObjectContext::ConcurrencyType::PrivateQueue);
  EXPECT_EQ(store()->mainQueueManagedObjectContext()->concurrencyType(),
            TQManagedObjectContext::ConcurrencyType::MainQueue);
}

TEST_F(TQPersistentStoreTest, ETagsRelateTheirResources) {
  const auto context = store()->backgroundManagedObjectContext();
  auto eTag =
      TQETag::findResource(equals("eTagID", std::string("Photos")), true, context, nullptr).back();
  eTag->setETagID("Photos");
  eTag->setETag("v1");
  for (const char* uri : {"u1", "u2"}) {
    auto row = TQDBResource::insertNewObjectIntoContext(context);
    row->loadFromDictionary(resourceObject(uri, uri));
    eTag->addResourcesObject(row);
  }
  ASSERT_TRUE(context->save(nullptr));
  EXPECT_EQ(names(eTag->resources()), (std::vector<std::string>{"u1", "u2"}));

  const auto later = store()->backgroundManagedObjectContext();
  ASSERT_TRUE(TQDBResource::deleteResource(equals("uri", std::string("u1")), later, nullptr));
  ASSERT_TRUE(later->save(nullptr));
  EXPECT_EQ(names(eTag->resources()), (std::vector<std::string>{"u2"}));
  ASSERT_TRUE(TQETag::deleteResource(nullptr, later, nullptr));
  ASSERT_TRUE(later->save(nullptr));
  EXPECT_EQ(rowsInFile("TQDBResource"), 1) << "a folder's rows outlive its ETag";
}

TEST_F(TQPersistentStoreTest, RowIdentifiersAreNeverReused) {
  const auto first = insertRows({resourceObject("a.jpg", "u1"), resourceObject("b.jpg", "u2")});
  const int64_t highest = first[1]->objectID().rowID();
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  const auto second = insertRows({resourceObject("c.jpg", "u3")});
  EXPECT_GT(second[0]->objectID().rowID(), highest);

  // A rolled-back insertion gives its number back to SQLite; the object must not keep it.
  const auto context = store()->backgroundManagedObjectContext();
  auto draft = TQDBResource::insertNewObjectIntoContext(context);
  draft->setName("draft");
  ASSERT_EQ(TQDBResource::findResource(nullptr, false, context, nullptr).size(), 2u);
  context->rollback();
  EXPECT_TRUE(draft->objectID().isTemporaryID());
}

TEST_F(TQPersistentStoreTest, AMergeMadeBeforeLogoutCommitsNothing) {
  insertRows({resourceObject("old.jpg", "u0")});
  const uint64_t epochAtSyncStart = store()->currentEpoch();
  const auto begunBefore = store()->backgroundManagedObjectContext(epochAtSyncStart);
  TQDBResource::insertNewObjectIntoContext(begunBefore)->setName("stale");

  ASSERT_TRUE(store()->deleteAllObjects(nullptr));  // logout
  const auto answeredAfter = store()->backgroundManagedObjectContext(epochAtSyncStart);
  TQDBResource::insertNewObjectIntoContext(answeredAfter)->setName("stale too");

  for (const auto& context : {begunBefore, answeredAfter}) {
    TQStoreError error;
    EXPECT_FALSE(context->save(&error));
    EXPECT_EQ(error.code, TQStoreErrorCode::StoreWasReset);
  }
  EXPECT_EQ(rowsInFile("TQDBResource"), 0);
  insertRows({resourceObject("new.jpg", "u9")});
  EXPECT_EQ(rowsInFile("TQDBResource"), 1) << "contexts of the new epoch write";
}

TEST_F(TQPersistentStoreTest, AFirstVersionStoreIsMigratedKeepingTheNewestRowOfEachURI) {
  const auto path = TQPersistentStore::storeURL();
  std::filesystem::create_directories(path.parent_path());
  tq::SQLiteDatabase(path).exec(
      TQDataModel::schemaSQL() +
      "DROP INDEX TQDBResource_uri; CREATE INDEX TQDBResource_uri ON TQDBResource (uri);"
      "PRAGMA application_id = " +
      std::to_string(TQDataModel::kApplicationID) +
      "; PRAGMA user_version = 1;"
      "INSERT INTO TQDBResource (objectID, uri, name) VALUES (1, 'u1', 'old'), (2, 'u2', 'only'),"
      " (3, 'u1', 'new'), (4, NULL, 'x'), (5, NULL, 'y');"
      "INSERT INTO TQETag (objectID, eTagID) VALUES (1, 'Photos');"
      "INSERT INTO TQETag_resources VALUES (1, 1);");

  ASSERT_TRUE(store()->hasStore());
  EXPECT_EQ(textInFile("SELECT name FROM TQDBResource ORDER BY objectID"),
            (std::vector<std::string>{"only", "new", "x", "y"}));
  EXPECT_EQ(textInFile("SELECT resource FROM TQETag_resources"), std::vector<std::string>{"3"})
      << "the folder keeps its resource";
  EXPECT_EQ(textInFile("PRAGMA user_version"), std::vector<std::string>{"2"});
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" 1 rows"), std::string::npos) << lines[0];
  EXPECT_TRUE(store()->performWrite(
      store()->currentEpoch(),
      [](TQWriteTransaction& write) {
        const TQResourceValues row[] = {resourceValues("newest", "u1")};
        EXPECT_EQ(write.upsertResources(row), std::vector<int64_t>{3});
      },
      nullptr));
}

// A store file the library cannot open: each case runs in a process of its own, since the store
// opens once per process.
struct UnopenableCase {
  const char* reason;
  std::function<void(const std::filesystem::path&)> prepare;
};

void PrintTo(const UnopenableCase& c, std::ostream* out) { *out << c.reason; }

class UnopenableStore : public StoreFixture,
                        public ::testing::WithParamInterface<UnopenableCase> {};

std::string fileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_P(UnopenableStore, LeavesTheFileAndRunsWithoutAStore) {
  const auto path = TQPersistentStore::storeURL();
  GetParam().prepare(path);
  const bool isFile = std::filesystem::is_regular_file(path);
  const std::string before = isFile ? fileBytes(path) : std::string();

  ASSERT_FALSE(store()->hasStore());
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("[ERROR] error: ")) << lines[0];
  EXPECT_EQ(lines[1], "[INFO] rm \"" + path.string() + "\"");
  EXPECT_EQ(isFile ? fileBytes(path) : std::string(), before) << "nothing removed or changed";

  const auto context = store()->backgroundManagedObjectContext();
  TQStoreError error;
  EXPECT_TRUE(TQDBResource::findResource(nullptr, false, context, &error).empty());
  EXPECT_EQ(error.code, TQStoreErrorCode::NoStore);
  TQDBResource::insertNewObjectIntoContext(context)->setName("x");
  EXPECT_FALSE(context->save(&error));
  EXPECT_FALSE(context->hasChanges()) << "changes that can never be saved are dropped";
  EXPECT_TRUE(store()->deleteAllObjects(nullptr));
  EXPECT_FALSE(TQResource::initWithDBResourceID({"TQDBResource", 1})->name());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnopenableStore,
    ::testing::Values(UnopenableCase{"text that is no database",
                                     [](const std::filesystem::path& path) {
                                       std::filesystem::create_directories(path.parent_path());
                                       std::ofstream(path) << "just some notes, not a database\n";
                                     }},
                      UnopenableCase{"another program's database",
                                     [](const std::filesystem::path& path) {
                                       std::filesystem::create_directories(path.parent_path());
                                       tq::SQLiteDatabase(path).exec(
                                           "CREATE TABLE notes (text TEXT);");
                                     }},
                      UnopenableCase{"a store of another model version",
                                     [](const std::filesystem::path& path) {
                                       std::filesystem::create_directories(path.parent_path());
                                       tq::SQLiteDatabase database(path);
                                       database.exec(TQDataModel::schemaSQL());
                                       database.exec("PRAGMA application_id = " +
                                                     std::to_string(TQDataModel::kApplicationID) +
                                                     "; PRAGMA user_version = 99;");
                                     }},
                      UnopenableCase{"a directory where the file should be",
                                     [](const std::filesystem::path& path) {
                                       std::filesystem::create_directories(path);
                                     }}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(TQStoreConnectionsTest, AStoreReopensWithItsRows) {
  testsupport::TemporaryDirectory directory;
  const auto path = directory.path() / "store.sqlite";
  std::string reason;
  {
    auto connections = TQStoreConnections::open(path, reason);
    ASSERT_TRUE(connections) << reason;
    auto context =
        TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::PrivateQueue,
                                     connections, connections->epoch(), nullptr);
    TQDBResource::insertNewObjectIntoContext(context)->setName("kept");
    ASSERT_TRUE(context->save(nullptr));
  }
  auto connections = TQStoreConnections::open(path, reason);
  ASSERT_TRUE(connections) << reason;
  auto context = TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::PrivateQueue,
                                              connections, connections->epoch(), nullptr);
  EXPECT_EQ(names(TQDBResource::findResource(nullptr, false, context, nullptr)),
            std::vector<std::string>{"kept"});
}

}  // namespace
