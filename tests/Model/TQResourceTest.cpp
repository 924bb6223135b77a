#include <gtest/gtest.h>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQFolder.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "tests/Model/StoreFixture.h"

namespace {

using tq::JSON;

template <class T>
std::vector<std::string> namesOf(const std::vector<std::shared_ptr<T>>& records) {
  std::vector<std::string> names;
  names.reserve(records.size());
  for (const auto& record : records) {
    names.push_back(record->name().value_or("nil"));
  }
  return names;
}

struct ListingCase {
  const char* reason;
  const char* object;
  std::vector<std::string> folders;
  std::vector<std::string> files;
};

TEST(TQMetadataTest, ListingsFromFileFolderObjects) {
  const ListingCase cases[] = {
      {"lists keep the answer's order",
       R"({"name":"root","folder":[{"name":"F1"},{"name":"F2"}],
           "file":[{"name":"a"},{"name":"b"},{"name":"c"}]})",
       {"F1", "F2"},
       {"a", "b", "c"}},
      {"a single object is a list of one",
       R"({"folder":{"name":"F"},"file":{"name":"a"}})",
       {"F"},
       {"a"}},
      {"absent members give empty lists", R"({"name":"empty"})", {}, {}},
      {"elements that are no objects are skipped",
       R"({"folder":[1,null,{"name":"F"}],"file":["x",[],{"name":"a"}]})",
       {"F"},
       {"a"}},
      {"members of another type give empty lists", R"({"folder":"F","file":7})", {}, {}},
  };
  for (const auto& c : cases) {
    const auto listing = TQMetadata::initWithDict(JSON::parse(c.object));
    EXPECT_EQ(namesOf(listing->subFolders()), c.folders) << c.reason;
    EXPECT_EQ(namesOf(listing->subFiles()), c.files) << c.reason;
  }
}

TEST(TQMetadataTest, SubFoldersCarryTheirOwnListsAndTheObjectDescribesItself) {
  const auto listing = TQMetadata::initWithDict(JSON::parse(
      R"({"name":"Photos","path":"/Photos","folder":[{"name":"2024","path":"/Photos/2024",
          "file":[{"name":"x.jpg"},{"name":"y.jpg"}]}]})"));
  EXPECT_EQ(listing->name(), "Photos");
  EXPECT_EQ(listing->fullPath(), "/Photos");
  ASSERT_EQ(listing->subFolders().size(), 1u);
  EXPECT_EQ(namesOf(listing->subFolders()[0]->subFiles()),
            (std::vector<std::string>{"x.jpg", "y.jpg"}));
  EXPECT_FALSE(listing->dbResource());
  EXPECT_FALSE(listing->dbResourceID());
}

TEST(TQMetadataTest, ADeeplyNestedAnswerNeitherBuildsNorFreesByRecursion) {
  constexpr int kDepth = 100000;
  JSON root = {{"name", "level0"}};
  JSON* innermost = &root;
  for (int level = 1; level < kDepth; ++level) {
    (*innermost)["folder"] = JSON{{"name", "level" + std::to_string(level)}};
    innermost = &(*innermost)["folder"];
  }
  auto listing = TQMetadata::initWithDict(root);
  const TQMetadata* deepest = listing.get();
  int depth = 1;
  while (!deepest->subFolders().empty()) {
    deepest = deepest->subFolders()[0].get();
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
  EXPECT_EQ(deepest->name(), "level" + std::to_string(kDepth - 1));
  listing.reset();  // must not overflow the stack
}

TEST(TQResourceTest, RecordFromAResourceObject) {
  const auto record = TQResource::initWithDict(JSON::parse(
      R"({"name":"a.jpg","path":"/Photos/a.jpg","itemuid":"item-1","count":4,"immutable":true,
          "systemAttributes":{"Title":"Beach"}})"));
  EXPECT_EQ(record->itemUID(), "item-1");
  EXPECT_EQ(record->count()->description(), "4");
  EXPECT_EQ(record->title(), "Beach");
  EXPECT_TRUE(record->immutable());
  EXPECT_EQ(record->file(), false);
  record->setName("b.jpg");
  EXPECT_EQ(record->name(), "b.jpg") << "an unbound record answers what it holds";
}

struct ItemCase {
  const char* reason;
  std::function<std::string()> answer;
  std::string expected;
};

TEST(TQResourceItemTest, TheClassChosenDecidesTheFields) {
  const auto object = JSON::parse(
      R"({"name":"clip.mp4","contentToken":"","size":7,
          "systemAttributes":{"Title":"Trip","Height":1080,"Width":1920}})");
  const ItemCase cases[] = {
      {"audio reads Title", [&] { return *TQAudio::initWithDict(object)->title(); }, "Trip"},
      {"absent Title prints (null)", [] { return *TQAudio::initWithDict(JSON::object())->title(); },
       "(null)"},
      {"an empty token is no file",
       [&] { return std::to_string(*TQFile::initWithDict(object)->file()); }, "0"},
      {"a photo carries the item's fields",
       [&] { return TQPhoto::initWithDict(object)->size()->description(); }, "7"},
      {"a photo has a height",
       [&] { return TQPhoto::initWithDict(object)->height()->description(); }, "1080"},
      {"a video has a width", [&] { return TQVideo::initWithDict(object)->width()->description(); },
       "1920"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.answer(), c.expected) << c.reason;
  }
}

template <class T>
std::vector<std::string> keysOf() {
  std::vector<std::string> keys;
  for (const auto& entry : T::keyValueTable()) {
    keys.emplace_back(entry.key);
  }
  return keys;
}

bool hasKey(const std::vector<std::string>& keys, const std::string& key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

TEST(TQResourceItemTest, KeyTablesFollowTheClasses) {
  EXPECT_EQ(keysOf<TQFolder>(), keysOf<TQResourceItem>()) << "a folder adds nothing";
  EXPECT_EQ(keysOf<TQResourceItem>().size(), 13u);
  EXPECT_FALSE(hasKey(keysOf<TQVideo>(), "height")) << "a video has no height";
  EXPECT_FALSE(hasKey(keysOf<TQPhoto>(), "album")) << "a photo has no album";
  EXPECT_TRUE(hasKey(keysOf<TQAudio>(), "creationDate"));
  EXPECT_FALSE(hasKey(keysOf<TQFile>(), "itemUID")) << "the tree has no itemUID";
  EXPECT_EQ(keysOf<TQResource>().size(), 33u) << "32 attributes and immutable";
  EXPECT_TRUE(hasKey(keysOf<TQResource>(), "itemUID"));
  EXPECT_EQ(keysOf<TQMetadata>(), keysOf<TQResource>()) << "listings sort like records";
}

TEST(TQResourceItemTest, ValuesByKeyAndUnknownKeys) {
  const auto photo = TQPhoto::initWithDict(JSON::parse(R"({"name":"a.jpg","size":3})"));
  EXPECT_EQ(TQKeyValue::valueForKeyPath(*photo, "name"), tq::Value(std::string("a.jpg")));
  EXPECT_EQ(TQKeyValue::valueForKeyPath(*photo, "size"), tq::Value(int64_t{3}));
  EXPECT_EQ(TQKeyValue::valueForKeyPath(*photo, "capturedDate"), tq::Value());
  try {
    TQKeyValue::valueForKeyPath(*photo, "album");
    FAIL() << "a photo has no album";
  } catch (const TQException& exception) {
    EXPECT_EQ(exception.name(), "NSUnknownKeyException");
  }
}

// Records bound to stored rows.
using TQBoundRecordTest = StoreFixture;

TEST_F(TQBoundRecordTest, BoundRecordsAnswerTheirRow) {
  auto object = resourceObject("a.jpg", "u1");
  const auto rowID = insertRows({object})[0]->objectID();
  const auto photo = TQPhoto::initWithDBResourceID(rowID);
  EXPECT_EQ(photo->dbResourceID(), rowID);
  EXPECT_EQ(photo->name(), "a.jpg");
  EXPECT_EQ(photo->mimeType(), "image/jpeg");
  EXPECT_EQ(photo->capturedDate(), NSDictionary_TQResource::capturedDate(object));
  ASSERT_TRUE(photo->dbResource());
  photo->setName("renamed.jpg");
  EXPECT_EQ(photo->name(), "a.jpg") << "a bound object answers its row, not its setter";

  const auto record = TQResource::initWithDBResourceID(rowID);
  EXPECT_EQ(record->itemUID(), "item-u1") << "itemUID reads the row's itemuid";
  EXPECT_FALSE(record->immutable());
  record->setImmutable(true);
  EXPECT_TRUE(record->immutable()) << "immutable is a plain field, even when bound";
}

TEST_F(TQBoundRecordTest, GettersFollowTheRowAndKeepItsLastValuesOnceDeleted) {
  const auto rowID = insertRows({resourceObject("a.jpg", "u1")})[0]->objectID();
  const auto record = TQResource::initWithDBResourceID(rowID);
  ASSERT_EQ(record->tags(), std::nullopt);

  const auto sync = store()->backgroundManagedObjectContext();
  const auto row =
      TQDBResource::findResource(equals("uri", std::string("u1")), false, sync, nullptr);
  ASSERT_EQ(row.size(), 1u);
  row[0]->setTags("beach");
  ASSERT_TRUE(sync->save(nullptr));
  EXPECT_EQ(record->tags(), "beach") << "a getter reads the row at every call";

  ASSERT_TRUE(store()->deleteAllObjects(nullptr));  // logout
  EXPECT_EQ(record->tags(), "beach");
  EXPECT_EQ(record->name(), "a.jpg");
  EXPECT_TRUE(record->dbResource()->isDeletedFromStore());
}

TEST_F(TQBoundRecordTest, AStaleIdentifierNeverBindsAnotherRow) {
  const auto oldID = insertRows({resourceObject("mine.jpg", "u1")})[0]->objectID();
  ASSERT_TRUE(store()->deleteAllObjects(nullptr));  // the next user signs in
  const auto newID = insertRows({resourceObject("theirs.jpg", "u2")})[0]->objectID();
  ASSERT_NE(newID, oldID);
  const auto stale = TQAudio::initWithDBResourceID(oldID);
  EXPECT_EQ(stale->name(), std::nullopt);
  EXPECT_FALSE(stale->dbResource());
  EXPECT_FALSE(TQResource::initWithDBResourceID({"TQETag", newID.rowID()})->name())
      << "an identifier of another entity binds nothing";
}

}  // namespace
