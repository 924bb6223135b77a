// Local search over a store of 100,000 resources, sorted by name: the library's road (query
// translation, rendering, a fresh tq::SQLiteDatabase connection with the match functions
// registered, prepare, bind, fetch every identifier) against the `sqlite3` command running the
// equivalent SELECT on the same file (process start, open and output included, as a search from
// the command line would pay them). Prints the best of several runs of each and their ratio
// (library time / reference time; lower is better).
//
// The queries are "contentType:image*" and "name:*fé*", both ignoring case and diacritics. The
// command has no folding function, so the reference SELECT for the second reads a column
// "nameFolded" that holds each name already folded (filled at insert, outside the timing) with
// SQLite's built-in LIKE, while the library folds every name as it searches: the reference does
// less work per row, and both must select the same identifiers in the same order.
//
// QUENLAR_BENCH_ROWS sets the number of rows (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 5).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "bench/BenchSupport.h"

namespace {

namespace fs = std::filesystem;
using Ids = std::vector<int64_t>;

// Names mostly ASCII, some with accents in several scripts' Latin letters; each made unique so
// that sorting by name gives one order.
std::string resourceName(std::mt19937& random, uint64_t index) {
  static const char* const kStems[] = {"IMG_",        "Holiday ", "Café de Flore ", "fête ",
                                       "Résumé ",     "report-",  "Straße ",        "DSC",
                                       "Screenshot ", "notes ",   "FEB budget ",    "Crème brûlée ",
                                       "track ",      "Ångström "};
  static const char* const kExtensions[] = {".jpg", ".png", ".mp4", ".mp3", ".pdf", ".txt"};
  std::uniform_int_distribution<size_t> stem(0, std::size(kStems) - 1);
  std::uniform_int_distribution<size_t> extension(0, std::size(kExtensions) - 1);
  return kStems[stem(random)] + std::to_string(index) + kExtensions[extension(random)];
}

bool createStore(const fs::path& path, uint64_t rows) {
  tq::SQLiteDatabase database(path);
  std::string names;
  std::string placeholders;
  int parameter = 0;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
    names += (parameter == 0 ? "\"" : ", \"") + std::string(attribute.column) + "\"";
    placeholders += (parameter == 0 ? "?" : ", ?") + std::to_string(parameter + 1);
    ++parameter;
  }
  const int foldedParameter = parameter + 1;
  database.exec(TQDataModel::schemaSQL());
  database.exec("ALTER TABLE TQDBResource ADD COLUMN nameFolded TEXT");
  database.exec("BEGIN");
  auto insert = database.prepare("INSERT INTO TQDBResource (" + names + ", nameFolded) VALUES (" +
                                 placeholders + ", ?" + std::to_string(foldedParameter) + ")");
  std::mt19937 random(1);
  static const char* const kContentTypes[] = {"image/jpeg", "image/png",       "video/mp4",
                                              "audio/mpeg", "application/pdf", "text/plain",
                                              "image/heic", "application/zip"};
  std::uniform_int_distribution<size_t> contentType(0, std::size(kContentTypes) - 1);
  std::uniform_int_distribution<int64_t> number(0, 1 << 30);
  for (uint64_t row = 0; row < rows; ++row) {
    const std::string name = resourceName(random, row);
    const std::string type = kContentTypes[contentType(random)];
    int index = 0;
    for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
      ++index;
      const std::string_view column = attribute.column;
      if (column == "name" || column == "title") {
        insert.bindText(index, name);
      } else if (column == "contentType" || column == "mimeType") {
        insert.bindText(index, type);
      } else if (column == "parentPath") {
        insert.bindText(index, "/Photos/" + std::to_string(row % 97));
      } else if (column == "fullPath" || column == "uri") {
        insert.bindText(index, "/Photos/" + std::to_string(row % 97) + "/" + name);
      } else if (attribute.kind == TQAttributeKind::Text) {
        insert.bindText(index, std::to_string(number(random)));
      } else if (attribute.kind == TQAttributeKind::Boolean) {
        insert.bindInt64(index, 1);
      } else {
        insert.bindInt64(index, number(random));
      }
    }
    const tq::ComparisonOptions folding{.caseInsensitive = true, .diacriticInsensitive = true};
    insert.bindText(foldedParameter, tq::Predicate::matchForm(name, folding));
    insert.step();
    insert.reset();
  }
  database.exec("COMMIT");
  return true;
}

Ids searchWithLibrary(const fs::path& path, const std::string& query) {
  tq::SQLiteDatabase database(path, tq::SQLiteDatabase::OpenMode::ReadOnly);
  tq::registerPredicateFunctions(database);
  const tq::PredicatePtr predicate = TLBRCloudSDKSyncPredicate::predicateFromString(query, false);
  const tq::RenderedSQL rendered = predicate->render(TQResourceKeyResolver::resourceResolver());
  auto statement = database.prepare("SELECT \"objectID\" FROM \"TQDBResource\" WHERE " +
                                    rendered.sql + " ORDER BY \"name\" ASC");
  tq::bindRenderedSQL(statement, rendered);
  Ids ids;
  while (statement.step()) {
    ids.push_back(statement.columnInt64(0).value_or(-1));
  }
  return ids;
}

std::optional<Ids> searchWithCommand(const fs::path& path, const std::string& where) {
  const std::string command = "sqlite3 -batch -readonly '" + path.string() +
                              "' \"SELECT objectID FROM TQDBResource WHERE " + where +
                              " ORDER BY name ASC;\"";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return std::nullopt;
  }
  Ids ids;
  char line[64] = {};
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    ids.push_back(std::strtoll(line, nullptr, 10));
  }
  if (::pclose(pipe) != 0) {
    return std::nullopt;
  }
  return ids;
}

struct Search {
  const char* query;           // what the host asks
  const char* referenceWhere;  // the command's equivalent filter
};

}  // namespace

int main() {
  const uint64_t rows = bench::envCount("QUENLAR_BENCH_ROWS", 100000);
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));

  const auto made = bench::makeTemporaryDirectory("bench_local_search-");
  if (!made) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& dir = *made;
  const fs::path store = dir / "TQCloudDB.sqlite";
  int status = 0;
  try {
    createStore(store, rows);
    std::printf("store: %llu resources, best of %llu runs\n", static_cast<unsigned long long>(rows),
                static_cast<unsigned long long>(runs));
    const Search searches[] = {
        {"contentType:image*", "contentType LIKE 'image%'"},
        {"name:*fé*", "nameFolded LIKE '%fe%'"},
    };
    for (const Search& search : searches) {
      double best = std::numeric_limits<double>::max();
      double bestReference = std::numeric_limits<double>::max();
      Ids ours;
      std::optional<Ids> reference;
      for (uint64_t run = 0; run < runs; ++run) {
        best =
            std::min(best, bench::seconds([&] { ours = searchWithLibrary(store, search.query); }));
        bestReference = std::min(bestReference, bench::seconds([&] {
                                   reference = searchWithCommand(store, search.referenceWhere);
                                 }));
      }
      std::printf(
          "%-20s library %8.2f ms  sqlite3 %8.2f ms  rows %zu  ratio (library / sqlite3) "
          "%6.3f\n",
          search.query, best * 1e3, bestReference * 1e3, ours.size(), best / bestReference);
      if (!reference || *reference != ours) {
        std::fprintf(stderr, "%s: the library and the sqlite3 command selected different rows\n",
                     search.query);
        status = 1;
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    status = 1;
  }
  std::error_code error;
  fs::remove_all(dir, error);
  return status;
}
