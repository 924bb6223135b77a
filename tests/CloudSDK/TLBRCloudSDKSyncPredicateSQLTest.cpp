// The translator's predicates run against a real SQLite table with the columns of TQDBResource,
// and must select exactly the rows that the in-memory evaluation selects.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncDateUtils.h"
#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "tests/support/TestSupport.h"

namespace {

using Resource = std::map<std::string, tq::Value, std::less<>>;

// The store's own tables, filled directly, so rows hold exactly the values each case names.
class ResourceTable {
 public:
  explicit ResourceTable(const std::filesystem::path& path) : database_(path) {
    tq::registerPredicateFunctions(database_);
    database_.exec(TQDataModel::schemaSQL());
    // Generated rows draw uris from a small pool; one row per uri is the store's rule, not the
    // translator's.
    database_.exec("DROP INDEX \"TQDBResource_uri\";");
  }

  void insert(const Resource& resource) {
    std::string names = TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn);
    std::string placeholders = "?1";
    int index = 1;
    for (const auto& [key, value] : resource) {
      names += ", \"" + key + "\"";
      placeholders += ", ?" + std::to_string(++index);
    }
    auto statement =
        database_.prepare("INSERT INTO TQDBResource (" + names + ") VALUES (" + placeholders + ")");
    statement.bindInt64(1, static_cast<int64_t>(resources_.size()));
    index = 1;
    for (const auto& entry : resource) {
      tq::bindValue(statement, ++index, entry.second);
    }
    statement.step();
    resources_.push_back(resource);
  }

  std::set<int64_t> selectInSQL(const tq::PredicatePtr& predicate) {
    std::set<int64_t> ids;
    if (predicate == nullptr) {
      for (size_t i = 0; i < resources_.size(); ++i) {
        ids.insert(static_cast<int64_t>(i));
      }
      return ids;
    }
    const tq::RenderedSQL rendered = predicate->render(TQResourceKeyResolver::resourceResolver());
    auto statement =
        database_.prepare("SELECT " + TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn) +
                          " FROM TQDBResource WHERE " + rendered.sql);
    tq::bindRenderedSQL(statement, rendered);
    while (statement.step()) {
      ids.insert(statement.columnInt64(0).value_or(-1));
    }
    return ids;
  }

  std::set<int64_t> selectInMemory(const tq::PredicatePtr& predicate) const {
    std::set<int64_t> ids;
    for (size_t i = 0; i < resources_.size(); ++i) {
      const Resource& resource = resources_[i];
      const auto values = [&resource](std::string_view key) {
        const auto found = resource.find(key);
        return found == resource.end() ? tq::Value{} : found->second;
      };
      if (predicate == nullptr ||
          predicate->evaluate(values, TQResourceKeyResolver::resourceResolver())) {
        ids.insert(static_cast<int64_t>(i));
      }
    }
    return ids;
  }

  size_t size() const { return resources_.size(); }

 private:
  tq::SQLiteDatabase database_;
  std::vector<Resource> resources_;
};

std::set<int64_t> ids(std::initializer_list<int64_t> list) { return list; }

TEST(TLBRCloudSDKSyncPredicateSQL, WildcardValuesKeepPercentAndUnderscoreLiteral) {
  testsupport::TemporaryDirectory directory;
  ResourceTable table(directory.path() / "store.sqlite");
  for (const char* name : {"50% off", "500 off", "a_b", "axb", "IMAGE.JPG", "Ímage", "[x]"}) {
    table.insert({{"name", std::string(name)}});
  }
  const struct {
    const char* query;
    std::set<int64_t> expected;
  } cases[] = {
      {"name:50%*", ids({0})},      {"name:a_b*", ids({2})},
      {"name:*_*", ids({2})},       {"name:*%*", ids({0})},
      {"name:image*", ids({4, 5})},  // case and diacritics ignored
      {R"(name:\[x\]*)", ids({6})}, {"name<>*o*", ids({2, 3, 4, 5, 6})},
  };
  for (const auto& c : cases) {
    const tq::PredicatePtr predicate =
        TLBRCloudSDKSyncPredicate::predicateFromString(c.query, false);
    EXPECT_EQ(table.selectInSQL(predicate), c.expected) << c.query;
    EXPECT_EQ(table.selectInMemory(predicate), c.expected) << c.query;
  }
}

TEST(TLBRCloudSDKSyncPredicateSQL, LongQueriesStayFlatAndRunInSQL) {
  // 5,000 terms in the library's own nested form and as a plain run: a flat predicate, and SQL
  // within SQLite's limit on expression depth.
  constexpr int kTerms = 5000;
  testsupport::TemporaryDirectory directory;
  ResourceTable table(directory.path() / "store.sqlite");
  for (const char* name : {"(17)", "x", "4999"}) {
    table.insert({{"name", std::string(name)}, {"title", std::string(name)}});
  }
  std::string nested = std::string(kTerms - 1, '(') + "name:x";
  std::string plain = "title:x";
  for (int i = 1; i < kTerms; ++i) {
    nested.append(") OR (title:\\(").append(std::to_string(i)).append("\\))");
    plain.append(" OR title:").append(std::to_string(i));
  }
  for (const std::string& query : {nested, plain}) {
    const tq::PredicatePtr predicate = TLBRCloudSDKSyncPredicate::predicateFromString(query, false);
    ASSERT_NE(predicate, nullptr);
    EXPECT_EQ(predicate->operands().size(), static_cast<size_t>(kTerms));
    EXPECT_EQ(table.selectInSQL(predicate), table.selectInMemory(predicate));
  }
  EXPECT_EQ(table.selectInSQL(TLBRCloudSDKSyncPredicate::predicateFromString(nested, false)),
            ids({0, 1}));
}

TEST(TLBRCloudSDKSyncPredicateSQL, AlternatingQueriesOfAnyLengthRunInSQL) {
  // Each change of join word nests the predicate one level deeper.
  testsupport::TemporaryDirectory directory;
  ResourceTable table(directory.path() / "store.sqlite");
  for (const auto& [name, title] : std::vector<std::pair<tq::Value, tq::Value>>{
           {"a", "b"}, {"A", "xbx"}, {"a", "c"}, {"c", "b"}, {{}, "b"}, {"a", {}}}) {
    table.insert({{"name", name}, {"title", title}});
  }
  const struct {
    const char* reason;
    int repeats;
  } cases[] = {
      {"past SQLite's parser stack", 44},
      {"past SQLite's expression depth", 1000},
      {"past the thread's stack", 100000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    std::string query;
    for (int i = 0; i < c.repeats; ++i) {
      query += "name:a AND title:b OR ";
    }
    const tq::PredicatePtr predicate = TLBRCloudSDKSyncPredicate::predicateFromString(query, false);
    ASSERT_NE(predicate, nullptr);
    EXPECT_EQ(table.selectInSQL(predicate), ids({0, 1}));
    EXPECT_EQ(table.selectInMemory(predicate), ids({0, 1}));
    // Joined left to right: "((a AND b) OR a) AND b ...", the trailing OR dropped.
    std::string described(static_cast<size_t>(2 * c.repeats - 2), '(');
    described += R"(name CONTAINS[cd] "a" AND title CONTAINS[cd] "b")";
    for (int i = 1; i < c.repeats; ++i) {
      described += R"() OR name CONTAINS[cd] "a") AND title CONTAINS[cd] "b")";
    }
    EXPECT_TRUE(predicate->description() == described);
  }
}

// Generates resources and queries from small pools, so that queries often hit.
class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  Resource resource() {
    Resource resource;
    for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
      if (chance(15)) {
        continue;  // NULL
      }
      const std::string name(attribute.name);
      switch (attribute.kind) {
        case TQAttributeKind::Text:
          resource[name] = text();
          break;
        case TQAttributeKind::Number:
          resource[name] = chance(50) ? tq::Value(static_cast<int64_t>(below(1000)))
                                      : tq::Value(static_cast<double>(below(100000)) / 8);
          break;
        case TQAttributeKind::Boolean:
          resource[name] = chance(50);
          break;
        case TQAttributeKind::Date:
          resource[name] = date();
          break;
      }
    }
    return resource;
  }

  std::string query() {
    std::string query = term();
    const size_t terms = below(4);
    for (size_t i = 0; i < terms; ++i) {
      const std::string word = pick<std::string>({"AND", "OR", "AND", "OR", "and", ""});
      switch (below(4)) {
        case 0:  // the library's own form
          query.insert(0, "(").append(") ").append(word).append(" (").append(term()).append(")");
          break;
        case 1:  // a key prefix over a group
          query += " " + word + " " + pick<std::string>({"name", "title", "album", "size"}) + ":(" +
                   value() + " " + pick<std::string>({"OR", "AND"}) + " " + value() + ")";
          break;
        default:
          query += " " + word + " " + term();
          break;
      }
    }
    if (chance(5)) {
      query.insert(below(query.size() + 1), 1, pick<char>({'(', ')', ':', '\\', '[', ']', '*'}));
    }
    return query;
  }

  bool chance(int percent) { return below(100) < static_cast<size_t>(percent); }

 private:
  size_t below(size_t bound) {
    return std::uniform_int_distribution<size_t>(0, bound - 1)(random_);
  }

  template <typename T>
  T pick(std::initializer_list<T> choices) {
    return *(choices.begin() + below(choices.size()));
  }

  static const std::vector<std::string>& fragments() {
    static const std::vector<std::string> list = {"image/jpeg",
                                                  "image/png",
                                                  "video/mp4",
                                                  "audio/mpeg",
                                                  "application/pdf",
                                                  "Café",
                                                  "CAFÉ",
                                                  "cafe",
                                                  "Résumé",
                                                  "resume",
                                                  "THE DOORS",
                                                  "orange",
                                                  "ORANGE",
                                                  "Straße",
                                                  "STRASSE",
                                                  "50% off",
                                                  "a_b",
                                                  "[draft]",
                                                  "f(x)",
                                                  "a:b",
                                                  "*star*",
                                                  "q?",
                                                  "e\xCC\x81",
                                                  "\xEF\xAC\x81le",
                                                  "\xC4\xB0stanbul",
                                                  "\xCE\xA9mega",
                                                  "holiday",
                                                  "Holiday 2015",
                                                  " lead",
                                                  "/Photos",
                                                  "/Photos/2015",
                                                  "",
                                                  "\xFF bad",
                                                  std::string("nul\0byte", 8),
                                                  "AND",
                                                  "OR"};
    return list;
  }

  std::string text() {
    std::string text = fragments()[below(fragments().size())];
    if (chance(30)) {
      text += fragments()[below(fragments().size())];
    }
    return text;
  }

  tq::Date date() {
    return tq::Date{
        std::chrono::milliseconds{1388534400000LL + 1000LL * below(size_t{3} * 365 * 86400)}};
  }

  std::string dateText() {
    if (chance(10)) {
      return pick<std::string>({"yesterday", "2015-02-30T00:00:00Z", "*", ""});
    }
    std::string text = TLBRCloudSDKSyncDateUtils::xmlStringFromDate(date());
    return chance(50) ? text.substr(0, 19) + "Z" : text;  // drop the milliseconds
  }

  // A piece of a pool text: whole, a prefix or a suffix cut at a character boundary, with its
  // syntax characters escaped most of the time and a wildcard now and then.
  std::string value() {
    std::string value = fragments()[below(fragments().size())];
    if (chance(40) && !value.empty()) {
      size_t cut = below(value.size());
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0U) == 0x80U) {
        --cut;
      }
      value = chance(50) ? value.substr(0, cut) : value.substr(cut);
    }
    if (chance(80)) {
      std::string escaped;
      for (const char c : value) {
        if (std::string_view("()[]:").find(c) != std::string_view::npos) {
          escaped += '\\';
        }
        escaped += c;
      }
      value = escaped;
    }
    if (chance(30)) {
      value.insert(chance(50) ? 0 : value.size(), 1, '*');
    }
    if (chance(10)) {
      value.insert(below(value.size() + 1), 1, '?');
    }
    return value;
  }

  std::string term() {
    const std::string key = pick<std::string>(
        {"name", "title", "album", "artist", "contentType", "mimeType", "path", "parentPath",
         "creationDate", "timelineDate", "file", "favorite", "size", "deleted", "colour", "Name"});
    switch (below(7)) {
      case 0:
      case 1:
        return key + ":" + value();
      case 2:
        return key + "<>" + value();
      case 3:
        return key + pick<std::string>({">=", "<=", "<", ">"}) + dateText();
      case 4:
        return key + pick<std::string>({":", "<>"}) + "[" + dateText() + " TO " + dateText() + "]";
      case 5:
        return "file" + pick<std::string>({":", "<>"}) +
               pick<std::string>({"true", "0", "yes", "no", ""});
      default:
        return "contentType:" + pick<std::string>({"image*", "video*", "audio*", "application/*"});
    }
  }

  std::mt19937 random_;
};

TEST(TLBRCloudSDKSyncPredicateSQL, SQLSelectsWhatTheEvaluatorSelects) {
  constexpr uint32_t kSeed = 20150101;
  constexpr int kResources = 150;
  constexpr int kQueries = 3000;
  testsupport::TemporaryDirectory directory;
  ResourceTable table(directory.path() / "store.sqlite");
  Generator generator(kSeed);
  for (int i = 0; i < kResources; ++i) {
    table.insert(generator.resource());
  }
  int selective = 0;  // queries that keep some rows and drop others: the ones that test much
  for (int i = 0; i < kQueries; ++i) {
    const std::string query = generator.query();
    const bool caseSensitivity = generator.chance(30);
    const tq::PredicatePtr predicate =
        TLBRCloudSDKSyncPredicate::predicateFromString(query, caseSensitivity);
    const std::set<int64_t> inMemory = table.selectInMemory(predicate);
    ASSERT_EQ(table.selectInSQL(predicate), inMemory)
        << "query " << i << ": " << query
        << "\npredicate: " << (predicate ? predicate->description() : "nil");
    if (!inMemory.empty() && inMemory.size() < table.size()) {
      ++selective;
    }
  }
  EXPECT_GT(selective, kQueries / 4);
}

}  // namespace
