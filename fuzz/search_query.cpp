// The search query translator: any text becomes a predicate (or none), whose SQL must run on the
// store's own schema and select exactly the rows that evaluating it in memory selects.
//
// Input: the first byte chooses case sensitivity (its low bit), the rest is the query.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "fuzz/FuzzSupport.h"

namespace {

using Row = std::map<std::string, tq::Value, std::less<>>;

// Values that exercise folding (case, diacritics, composed and decomposed forms, expansions),
// the characters SQL pattern matching treats specially, and bytes that are not UTF-8.
const std::vector<tq::Value>& textPool() {
  static const std::vector<tq::Value> pool = {
      std::string("Café"),      std::string("CAFE\xCC\x81"), std::string("IMAGE.JPG"),
      std::string("image/png"), std::string("50% off"),      std::string("a_b"),
      std::string("Straße"),    std::string("[x] f(y)"),     std::string("/Photos/2015"),
      std::string(""),          std::string("nul\0byte", 8), std::string("\xFF bad"),
      std::string("holiday"),   std::string("a:b*?"),        std::string("\xEF\xAC\x81le")};
  return pool;
}

const std::vector<tq::Value>& numberPool() {
  static const std::vector<tq::Value> pool = {int64_t{0},    int64_t{1}, 2.5, int64_t{-7},
                                              int64_t{1000}, 1e15,       0.1, int64_t{42}};
  return pool;
}

const std::vector<tq::Value>& datePool() {
  using std::chrono::milliseconds;
  static const std::vector<tq::Value> pool = {
      tq::Date{milliseconds{1420070400000}},  // 2015-01-01T00:00:00.000Z
      tq::Date{milliseconds{1420070400001}}, tq::Date{milliseconds{0}},
      tq::Date{milliseconds{-86400000}}, tq::Date{milliseconds{253402300799999}}};
  return pool;
}

// A few fixed rows in which every attribute takes a value from its kind's pool, shifted per row
// and per attribute so that rows differ everywhere, with NULLs sprinkled in.
std::vector<Row> fixedRows() {
  constexpr std::size_t kRows = 8;
  std::vector<Row> rows(kRows);
  std::size_t column = 0;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
    ++column;
    for (std::size_t i = 0; i < kRows; ++i) {
      if ((i + column) % 5 == 0) {
        continue;  // NULL
      }
      const std::size_t pick = i * 3 + column;
      tq::Value value;
      switch (attribute.kind) {
        case TQAttributeKind::Text:
          value = textPool()[pick % textPool().size()];
          break;
        case TQAttributeKind::Number:
          value = numberPool()[pick % numberPool().size()];
          break;
        case TQAttributeKind::Boolean:
          value = pick % 2 == 0;
          break;
        case TQAttributeKind::Date:
          value = datePool()[pick % datePool().size()];
          break;
      }
      rows[i].emplace(std::string(attribute.name), std::move(value));
    }
  }
  return rows;
}

// An in-memory store with the library's schema and the fixed rows.
class Store {
 public:
  Store() : database_(":memory:"), rows_(fixedRows()) {
    tq::registerPredicateFunctions(database_);
    database_.exec(TQDataModel::schemaSQL());
    // The rows draw uris from a small pool; one row per uri is the store's rule, not the
    // translator's.
    database_.exec("DROP INDEX \"TQDBResource_uri\";");
    for (std::size_t id = 0; id < rows_.size(); ++id) {
      insert(static_cast<int64_t>(id), rows_[id]);
    }
  }

  std::set<int64_t> selectInSQL(const tq::Predicate& predicate) {
    const tq::RenderedSQL rendered = predicate.render(TQResourceKeyResolver::resourceResolver());
    auto statement =
        database_.prepare("SELECT " + TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn) +
                          " FROM TQDBResource WHERE " + rendered.sql);
    tq::bindRenderedSQL(statement, rendered);
    std::set<int64_t> ids;
    while (statement.step()) {
      ids.insert(statement.columnInt64(0).value_or(-1));
    }
    return ids;
  }

  std::set<int64_t> selectInMemory(const tq::Predicate& predicate) const {
    std::set<int64_t> ids;
    for (std::size_t id = 0; id < rows_.size(); ++id) {
      const Row& row = rows_[id];
      const auto values = [&row](std::string_view key) {
        const auto found = row.find(key);
        return found == row.end() ? tq::Value{} : found->second;
      };
      if (predicate.evaluate(values, TQResourceKeyResolver::resourceResolver())) {
        ids.insert(static_cast<int64_t>(id));
      }
    }
    return ids;
  }

 private:
  void insert(int64_t id, const Row& row) {
    std::string names = TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn);
    std::string placeholders = "?1";
    int index = 1;
    for (const auto& entry : row) {
      names += ", " + TQDataModel::quotedIdentifier(entry.first);
      placeholders += ", ?" + std::to_string(++index);
    }
    auto statement =
        database_.prepare("INSERT INTO TQDBResource (" + names + ") VALUES (" + placeholders + ")");
    statement.bindInt64(1, id);
    index = 1;
    for (const auto& entry : row) {
      tq::bindValue(statement, ++index, entry.second);
    }
    statement.step();
  }

  tq::SQLiteDatabase database_;
  std::vector<Row> rows_;
};

Store& store() {
  static Store instance;
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const bool caseSensitivity = (data[0] & 1U) != 0;
  const std::string_view query = fuzz::asText(data + 1, size - 1);
  tq::PredicatePtr predicate;
  fuzz::guarded("translating a query", [&] {
    predicate = TLBRCloudSDKSyncPredicate::predicateFromString(query, caseSensitivity);
  });
  if (predicate == nullptr) {
    return 0;  // no filter: every row, in SQL and in memory alike
  }
  fuzz::guarded("describing a predicate", [&] { (void)predicate->description(); });
  std::set<int64_t> inMemory;
  fuzz::guarded("evaluating a predicate", [&] { inMemory = store().selectInMemory(*predicate); });
  std::set<int64_t> inSQL;
  fuzz::guarded("running a predicate's SQL", [&] { inSQL = store().selectInSQL(*predicate); });
  fuzz::check(inSQL == inMemory, "SQL selects the rows that evaluation selects");
  return 0;
}
