// What the full sync asks of the local store: deleting below paths as the predicate would, and one
// answer merged as one transaction.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewMerge.h"
#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

namespace {

using Paths = std::set<std::string>;
using tq::ComparisonOperator;
using tq::Predicate;

class SyncStoreTest : public StoreFixture {
 protected:
  // Stores one row per path (its uri is the path) and answers their identifiers.
  static std::vector<int64_t> storePaths(const std::vector<std::string>& paths) {
    std::vector<TQResourceValues> rows;
    for (const auto& path : paths) {
      TQResourceValues values;
      values.fullPath = path;
      values.uri = path;
      rows.push_back(values);
    }
    std::vector<int64_t> identifiers;
    EXPECT_TRUE(store()->performWrite(
        store()->currentEpoch(),
        [&](TQWriteTransaction& write) { identifiers = write.upsertResources(rows); }, nullptr));
    return identifiers;
  }

  Paths storedPaths() const {
    const auto texts = textInFile("SELECT fullPath FROM TQDBResource");
    return {texts.begin(), texts.end()};
  }

  static std::shared_ptr<TQAnswerSpool> spoolOf(const std::string& text) {
    auto spool = TQAnswerSpool::make();
    spool->append(text);
    return spool;
  }

  // Whether `answer` was merged for the folder "My%20Music".
  static bool merge(const std::string& answer, const std::optional<std::string>& eTag) {
    return TQFullViewMerge::merge(*store(), store()->currentEpoch(), "My%20Music", eTag,
                                  *spoolOf(answer), nullptr) == TQFullViewMerge::Result::Merged;
  }
};

// Each case deletes from the same rows. The merge's deletion must select what the predicate
// "fullPath ==[cd] p OR fullPath BEGINSWITH[cd] p/" selects, in SQL and in memory alike.
TEST_F(SyncStoreTest, DeletedPathsTakeThePathAndWhatLiesBelowItNeverASibling) {
  using std::string_literals::operator""s;
  // "/a/b.jpg" and "/a/B!" sort between "/a/b" and what lies below it.
  const std::vector<std::string> rows = {
      "/a",         "/a/b",     "/a/b/c.jpg",    "/a/bc",          "/a/bc/d.jpg", "/A/B/Upper",
      "/a/b%/x",    "/a/b*/y",  "/Résumé/e.txt", "/Resume/f.txt",  "/a/b_/z",     "/photos",
      "/other/a/b", "/a/b.jpg", "/a/B!",         "/日本/写真.jpg", "/a/b\0x"s};
  struct Case {
    const char* reason;
    std::vector<std::string> deleted;
    Paths gone;
  };
  const Case cases[] = {
      {"a folder and what it holds, not the sibling that begins alike",
       {"/a/b"},
       {"/a/b", "/a/b/c.jpg", "/A/B/Upper"}},
      {"a trailing slash changes nothing", {"/a/b/"}, {"/a/b", "/a/b/c.jpg", "/A/B/Upper"}},
      {"case and diacritics are folded", {"/resume"}, {"/Résumé/e.txt", "/Resume/f.txt"}},
      {"an upper-case path", {"/A/B"}, {"/a/b", "/a/b/c.jpg", "/A/B/Upper"}},
      {"a path with diacritics", {"/RÉSUMÉ"}, {"/Résumé/e.txt", "/Resume/f.txt"}},
      {"a path beyond Latin", {"/日本"}, {"/日本/写真.jpg"}},
      {"a row below two paths goes once",
       {"/a/b", "/a"},
       {"/a", "/a/b", "/a/b/c.jpg", "/a/bc", "/a/bc/d.jpg", "/A/B/Upper", "/a/b%/x", "/a/b*/y",
        "/a/b_/z", "/a/b.jpg", "/a/B!", "/a/b\0x"s}},
      {"wildcards of SQL and of the query syntax are plain characters",
       {"/a/b%", "/a/b*", "/a/b_"},
       {"/a/b%/x", "/a/b*/y", "/a/b_/z"}},
      {"a file alone", {"/a/bc/d.jpg"}, {"/a/bc/d.jpg"}},
      {"no path deletes nothing", {}, {}},
      {"the root deletes nothing", {"/", "", "//"}, {}},
      {"a path nothing has", {"/nowhere"}, {}},
      {"a path that is only a prefix of a name", {"/photo"}, {}},
      {"a NUL is compared, never the end of the path", {"/Photos\0x"s}, {}},
      {"a NUL after the root", {"/\0A"s, "/\0"s}, {}},
      {"a path holding a NUL is compared whole", {"/A/B\0X"s}, {"/a/b\0x"s}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    storePaths(rows);
    // The predicate's selection, before anything is deleted.
    std::vector<tq::PredicatePtr> terms;
    for (std::string path : c.deleted) {
      while (!path.empty() && path.back() == '/') {
        path.pop_back();
      }
      if (!path.empty()) {
        const tq::ComparisonOptions cd{.caseInsensitive = true, .diacriticInsensitive = true};
        terms.push_back(Predicate::comparison("fullPath", ComparisonOperator::Equal, path, cd));
        terms.push_back(
            Predicate::comparison("fullPath", ComparisonOperator::BeginsWith, path + "/", cd));
      }
    }
    const auto predicate = Predicate::orPredicate(terms);
    Paths inSQL;
    for (const auto& object : store()->backgroundManagedObjectContext()->executeFetchRequest(
             {.entityName = "TQDBResource", .predicate = predicate, .sortDescriptors = {}},
             nullptr)) {
      inSQL.insert(*std::static_pointer_cast<TQDBResource>(object)->fullPath());
    }
    Paths inMemory;
    for (const auto& path : rows) {
      const auto value = [&path](std::string_view) { return tq::Value(path); };
      if (predicate->evaluate(value, TQResourceKeyResolver::resourceResolver())) {
        inMemory.insert(path);
      }
    }
    EXPECT_EQ(inSQL, c.gone);
    EXPECT_EQ(inMemory, c.gone);

    int64_t deleted = -1;
    ASSERT_TRUE(store()->performWrite(
        store()->currentEpoch(),
        [&](TQWriteTransaction& write) { deleted = write.deleteResourcesAtPaths(c.deleted, {}); },
        nullptr));
    Paths remaining = storedPaths();
    Paths gone;
    std::ranges::set_difference(Paths(rows.begin(), rows.end()), remaining,
                                std::inserter(gone, gone.end()));
    EXPECT_EQ(gone, c.gone);
    EXPECT_EQ(deleted, static_cast<int64_t>(c.gone.size()));
  }
}

TEST_F(SyncStoreTest, OneAnswerIsOneTransaction) {
  ASSERT_TRUE(merge(R"({"data":{"file":[{"name":"a","path":"/M/a","uri":"ua"},)"
                    R"({"name":"b","path":"/M/b","uri":"ub"}]}})",
                    "v1"));
  // The item at /M/a was deleted and made anew (a new uri) since: the answer reports both.
  ASSERT_TRUE(merge(R"({"data":{"file":[{"name":"a","path":"/M/a","uri":"ua2"}],)"
                    R"("deleted":{"path":["/M/a","/M/b"]}}})",
                    "v2"));
  EXPECT_EQ(textInFile("SELECT uri FROM TQDBResource"), std::vector<std::string>{"ua2"})
      << "what the answer lists as live stays";
  EXPECT_EQ(textInFile("SELECT eTagID || ' ' || eTag FROM TQETag"),
            std::vector<std::string>{"My%20Music v2"});
  EXPECT_EQ(textInFile("SELECT count(*) FROM TQETag_resources"), std::vector<std::string>{"1"});

  // An answer that cannot be read whole keeps the folder's ETag and rows: storing its ETag
  // would skip its changes for good.
  EXPECT_FALSE(merge(R"({"data":{"file":[{"name":"c","path":"/M/c","uri":"uc"},)", "v3"));
  EXPECT_EQ(textInFile("SELECT eTag FROM TQETag"), std::vector<std::string>{"v2"});
  EXPECT_EQ(textInFile("SELECT uri FROM TQDBResource"), std::vector<std::string>{"ua2"});

  // No ETag header: the stored one is cleared, the rows merged.
  ASSERT_TRUE(merge(R"({"data":{}})", std::nullopt));
  EXPECT_EQ(textInFile("SELECT ifnull(eTag, 'nil') FROM TQETag"), std::vector<std::string>{"nil"});
}

// Only exactly one JSON object, whitespace after it aside, is an answer; anything else changes
// neither the folder's ETag nor its rows, however much of it reads as a good answer.
TEST_F(SyncStoreTest, AnAnswerThatIsNotExactlyOneObjectChangesNothing) {
  using std::string_literals::operator""s;
  const std::string head = R"({"data":{"file":{"name":"n","path":"/M/n","uri":"un"}}})";
  const struct {
    const char* reason;
    std::string answer;
    bool merged;
  } cases[] = {
      {"an object, a NUL and more text", "{}\0x"s, false},
      {"an object and a NUL", "{}\0"s, false},
      {"a whole answer, a NUL and another", head + "\0"s + head, false},
      {"a NUL after whitespace", head + " \n\0"s, false},
      {"text after the object", head + " x", false},
      {"two objects", head + head, false},
      {"a text", R"("{}")", false},
      {"nothing", "", false},
      {"cut short", head.substr(0, head.size() - 1), false},
      {"whitespace after the object is fine", head + " \r\n\t", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ASSERT_TRUE(merge(R"({"data":{}})", "v1"));
    EXPECT_EQ(merge(c.answer, "v2"), c.merged);
    EXPECT_EQ(textInFile("SELECT eTag FROM TQETag"),
              std::vector<std::string>{c.merged ? "v2" : "v1"});
    EXPECT_EQ(storedPaths(), c.merged ? Paths{"/M/n"} : Paths{});
    ASSERT_TRUE(store()->deleteAllObjects(nullptr));
  }
}

}  // namespace
