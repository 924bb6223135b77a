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
// Then the facade's own local search over the same number of resources, synced from the test
// server: page 1 of 50 of "contentType:image*" by name, identifiers only and with a record bound
// to each row, against the whole list each way. Both pay the same full sync (412 answers); the
// page should cost a small part of the list.
//
// QUENLAR_BENCH_ROWS sets the number of rows (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 5).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQLocalSearch.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"
#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "bench/BenchSupport.h"
#include "bench/SyncBenchSupport.h"

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

// The server's tree for the facade's search: two in five files are images, spread over folders.
void seedTree(testserver::ResourceTree& tree, uint64_t rows) {
  static const char* const kFolders[] = {"Photos", "Videos", "Music", "Documents", "Archive"};
  static const char* const kExtensions[] = {".jpg", ".mp4", ".jpg", ".mp3", ".pdf"};
  for (const char* folder : kFolders) {
    tree.addVirtualFolder(folder);
  }
  for (uint64_t i = 0; i < rows; ++i) {
    tree.addFile("/" + std::string(kFolders[i % std::size(kFolders)]) + "/IMG_" +
                 std::to_string((i * 7919) % rows) + kExtensions[i % std::size(kExtensions)]);
  }
}

std::shared_ptr<TQSearchAPIParams> imageSearch(int32_t page, int32_t count) {
  auto params = std::make_shared<TQSearchAPIParams>();
  params->query = "contentType:image*";
  params->setSortKey("name", true);
  params->page = page;
  params->count = count;
  return params;
}

// Starts `search` with a handler that answers how many rows it received, and waits for it.
size_t awaitRows(const std::function<void(std::function<void(size_t)>)>& search) {
  std::mutex mutex;
  std::condition_variable finished;
  std::optional<size_t> rows;
  search([&](size_t received) {
    std::lock_guard lock(mutex);
    rows = received;
    finished.notify_all();
  });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return rows.has_value(); });
  return *rows;
}

// The facade's local search, identifiers only.
size_t identifiersFound(int32_t page, int32_t count) {
  return awaitRows([&](std::function<void(size_t)> done) {
    TQAPISDK::sharedInstance()->search(
        imageSearch(page, count),
        [done = std::move(done)](const std::optional<std::vector<TQManagedObjectID>>& found,
                                 const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
          done(found ? found->size() : 0);
        });
  });
}

// The same search with a record bound to each row, each record's name read.
size_t recordsFound(int32_t page, int32_t count) {
  const auto images = tq::Predicate::comparison("contentType", tq::ComparisonOperator::BeginsWith,
                                                std::string("image"));
  return awaitRows([&](std::function<void(size_t)> done) {
    TQLocalSearch::searchAudioFiles(
        imageSearch(page, count), images,
        [done = std::move(done)](const std::vector<std::shared_ptr<TQAudio>>& records,
                                 const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
          size_t named = 0;
          for (const auto& record : records) {
            named += record->name().has_value() ? 1 : 0;
          }
          done(named);
        });
  });
}

// Page 1 of 50 against the whole list, by each road; false when a road found the wrong rows.
bool pageAgainstList(uint64_t runs) {
  if (bench::fullSync() != 200) {
    std::fprintf(stderr, "the first sync failed\n");
    return false;
  }
  const struct {
    const char* road;
    size_t (*find)(int32_t page, int32_t count);
  } roads[] = {{"identifiers", identifiersFound}, {"records", recordsFound}};
  bool ok = true;
  for (const auto& road : roads) {
    double bestPage = std::numeric_limits<double>::max();
    double bestList = std::numeric_limits<double>::max();
    size_t page = 0;
    size_t list = 0;
    for (uint64_t run = 0; run < runs; ++run) {
      bestPage = std::min(bestPage, bench::seconds([&] { page = road.find(1, 50); }));
      bestList = std::min(bestList, bench::seconds([&] { list = road.find(0, 0); }));
    }
    std::printf(
        "facade search, %-11s page 1 of 50 %8.2f ms  whole list %8.2f ms  rows %zu  ratio "
        "(page / list) %6.3f (target <= 0.2)\n",
        road.road, bestPage * 1e3, bestList * 1e3, list, bestPage / bestList);
    ok = ok && page == std::min<size_t>(50, list) && list > 0;
  }
  return ok;
}

}  // namespace

int main() {
  const uint64_t rows = bench::envCount("QUENLAR_BENCH_ROWS", 100000);
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));
  // Forked before anything starts a thread.
  bench::ServerProcess server([rows](auto& tree) { seedTree(tree, rows); }, [](auto& /*tree*/) {});

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
  const auto library = bench::libraryDirectory("bench_local_search-library-", server.baseURL());
  if (!library) {
    return 1;
  }
  try {
    if (!pageAgainstList(runs)) {
      std::fprintf(stderr, "a page or a list of the facade's search found the wrong rows\n");
      status = 1;
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "benchmark failed: %s\n", failure.what());
    status = 1;
  }
  fs::remove_all(*library, error);
  return status;
}
