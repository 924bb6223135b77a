// Writing a merge of 100,000 resources into a fresh store file: the library's road (open and
// create the store, one write transaction, the prepared upsert bound from parsed values for every
// row, commit, checkpoint, close) against the `sqlite3` command reading a script of the same rows
// as INSERT statements in one transaction, into the same schema with the same journal settings
// (process start, parsing and close included, as an import from the command line would pay
// them). Both inputs are made before the timing. Prints the best of several runs of each and their
// ratio (library time / reference time; lower is better), after checking that both files hold the
// same rows.
//
// Then the heap in use (the C library's count, after it has given back what it can) before,
// during and after the main-queue context fetches 40,000 stored rows and the host drops them, by
// the lists' road and by a plain fetch: what is left after should be within 5 MiB of before.
//
// QUENLAR_BENCH_ROWS sets the number of rows (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 3).
#include <malloc.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectContext.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "bench/BenchSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<TQResourceValues> makeResources(uint64_t count) {
  static const char* const kTypes[][2] = {{"image/jpeg", "jpg"}, {"image/png", "png"},
                                          {"video/mp4", "mp4"},  {"audio/mpeg", "mp3"},
                                          {"text/plain", "txt"}, {"application/pdf", "pdf"}};
  std::mt19937_64 random(7);
  std::uniform_int_distribution<size_t> type(0, std::size(kTypes) - 1);
  std::uniform_int_distribution<int64_t> bytes(1, int64_t{1} << 32);
  std::uniform_int_distribution<int64_t> when(1'500'000'000'000, 1'700'000'000'000);
  std::vector<TQResourceValues> resources(count);
  for (uint64_t i = 0; i < count; ++i) {
    TQResourceValues& r = resources[i];
    const auto& [mime, extension] = kTypes[type(random)];
    const std::string folder = "/Photos/" + std::to_string(i % 211);
    r.name = "IMG_" + std::to_string(i) + "." + extension;
    r.parentPath = folder;
    r.fullPath = folder + "/" + *r.name;
    r.uri = "https://cloud.example/files/" + std::to_string(random()) + "/" + std::to_string(i);
    r.itemuid = "item-" + std::to_string(random());
    r.contentToken = "ct" + std::to_string(random());
    r.checkSum = std::to_string(random()) + std::to_string(random());
    r.contentType = mime;
    r.mimeType = mime;
    r.extension = extension;
    r.file = true;
    r.size = TQNumber::integer(bytes(random));
    r.version = TQNumber::integer(1 + static_cast<int64_t>(i % 4));
    r.deleted = TQNumber::boolean(false);
    r.creationDate = tq::Date{std::chrono::milliseconds{when(random)}};
    r.versionCreated = tq::Date{std::chrono::milliseconds{when(random)}};
    r.timelineDate = r.versionCreated;
    if (mime[0] == 'i' || mime[0] == 'v') {
      r.capturedDate = r.creationDate;
      r.width = TQNumber::integer(4032);
      r.height = TQNumber::integer(3024);
      r.geoLatitude = TQNumber::real(48.8566 + static_cast<double>(i % 1000) / 1e4);
      r.geoLongitude = TQNumber::real(2.3522 - static_cast<double>(i % 700) / 1e4);
    }
    if (i % 5 == 0) {
      r.tags = "holiday,family";
    }
  }
  return resources;
}

std::string literal(const tq::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    std::string quoted = "'";
    for (const char c : *text) {
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    }
    return quoted + "'";
  }
  if (const auto* boolean = std::get_if<bool>(&value)) {
    return *boolean ? "1" : "0";
  }
  if (const auto* integer = std::get_if<int64_t>(&value)) {
    return std::to_string(*integer);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.17g", *real);
    return digits;
  }
  if (const auto* date = std::get_if<tq::Date>(&value)) {
    return std::to_string(date->time_since_epoch().count());
  }
  return "NULL";
}

// The command's input: the store's schema and settings, then every row in one transaction.
void writeScript(const fs::path& path, const std::vector<TQResourceValues>& resources) {
  const auto attributes = TQAttributeRegistry::attributesOfEntity(kTQDBResourceEntityName);
  std::string columns;
  for (const TQAttribute& attribute : attributes) {
    columns += (columns.empty() ? "\"" : ", \"") + std::string(attribute.column) + "\"";
  }
  std::ofstream script(path, std::ios::binary);
  script << "PRAGMA page_size = 16384;\nPRAGMA journal_mode = WAL;\nPRAGMA synchronous = NORMAL;\n"
         << "PRAGMA journal_size_limit = 67108864;\nPRAGMA cache_size = -65536;\n"
         << TQDataModel::schemaSQL() << "PRAGMA application_id = " << TQDataModel::kApplicationID
         << ";\nPRAGMA user_version = " << TQDataModel::kModelVersion << ";\nBEGIN;\n";
  for (const TQResourceValues& resource : resources) {
    std::string row = "INSERT INTO \"TQDBResource\" (" + columns + ") VALUES (";
    bool first = true;
    for (const TQAttribute& attribute : attributes) {
      row += (first ? "" : ", ") + literal(attribute.valueOf(resource));
      first = false;
    }
    script << row << ");\n";
  }
  script << "COMMIT;\n";
}

bool writeWithLibrary(const fs::path& path, const std::vector<TQResourceValues>& resources) {
  std::string reason;
  const auto store = TQStoreConnections::open(path, reason);
  if (!store) {
    std::fprintf(stderr, "cannot open the store: %s\n", reason.c_str());
    return false;
  }
  TQStoreError error;
  const bool written = TQWriteTransaction::perform(
      store, store->epoch(), [&](TQWriteTransaction& write) { write.upsertResources(resources); },
      &error);
  if (!written) {
    std::fprintf(stderr, "the write failed: %s\n", error.localizedDescription.c_str());
  }
  return written;
}

// Every row of the file, in uri order, as text; the row identifiers are left out.
std::vector<std::string> rowsOf(const fs::path& path) {
  tq::SQLiteDatabase database(path, tq::SQLiteDatabase::OpenMode::ReadOnly);
  std::string columns;
  for (const TQAttribute& attribute :
       TQAttributeRegistry::attributesOfEntity(kTQDBResourceEntityName)) {
    columns += (columns.empty() ? "quote(\"" : " || ',' || quote(\"") +
               std::string(attribute.column) + "\")";
  }
  auto statement =
      database.prepare("SELECT " + columns + " FROM \"TQDBResource\" ORDER BY \"uri\"");
  std::vector<std::string> rows;
  while (statement.step()) {
    rows.push_back(statement.columnText(0).value_or(""));
  }
  return rows;
}

// Fills the shared store with `resources`, opens the contexts a host may have left unsaved and
// answers the seconds logout takes; a negative number when something failed.
double timeLogout(const std::vector<TQResourceValues>& resources) {
  const auto store = TQPersistentStore::sharedPersistentStore();
  const bool filled = store->performWrite(
      store->currentEpoch(),
      [&](TQWriteTransaction& write) {
        write.relateResources(write.writeETag("Photos", "e1"), write.upsertResources(resources));
      },
      nullptr);
  const auto unsaved = store->backgroundManagedObjectContext();
  TQDBResource::findResource(
      tq::Predicate::comparison("uri", tq::ComparisonOperator::Equal, *resources.front().uri), true,
      unsaved, nullptr);
  const auto main = store->mainQueueManagedObjectContext();
  TQDBResource::insertNewObjectIntoContext(main)->setName("unsaved.jpg");
  const bool holding =
      !main->executeFetchRequest({.entityName = "TQDBResource",
                                  .predicate = tq::Predicate::comparison(
                                      "name", tq::ComparisonOperator::Equal, "unsaved.jpg")},
                                 nullptr)
           .empty();
  if (!filled || !holding) {
    std::fprintf(stderr, "the store could not be filled\n");
    return -1;
  }
  TQStoreError error;
  bool emptied = false;
  const double elapsed = bench::seconds([&] { emptied = store->deleteAllObjects(&error); });
  tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                              tq::SQLiteDatabase::OpenMode::ReadOnly);
  auto count = database.prepare(
      "SELECT (SELECT count(*) FROM \"TQDBResource\") + (SELECT count(*) FROM \"TQETag\")");
  if (!emptied || !count.step() || count.columnInt64(0) != 0) {
    std::fprintf(stderr, "logout left rows behind: %s\n", error.localizedDescription.c_str());
    return -1;
  }
  return elapsed;
}

void removeStore(const fs::path& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    fs::remove(path.string() + suffix, ignored);
  }
}

int64_t heapInUse() {
  malloc_trim(0);
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

double mebibytes(int64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The heap figures of fetching `rows` rows through the library's main-queue context and dropping
// them, in a store of the library's own under `dir`; false when a step failed.
bool heapOfDroppedRows(const fs::path& dir, uint64_t rows) {
  tq::Environment::setDocumentsDirectory(dir / "Documents");
  const auto store = TQPersistentStore::sharedPersistentStore();
  {
    const auto resources = makeResources(rows);
    TQStoreError error;
    if (!store->performWrite(
            store->currentEpoch(),
            [&](TQWriteTransaction& write) { write.upsertResources(resources); }, &error)) {
      std::fprintf(stderr, "the write failed: %s\n", error.localizedDescription.c_str());
      return false;
    }
  }
  const auto context = store->mainQueueManagedObjectContext();
  const TQFetchRequest request{.entityName = std::string(kTQDBResourceEntityName),
                               .predicate = nullptr,
                               .sortDescriptors = {{"name", true}}};
  // Each road answers its rows' objects, held as the host holds them, and their number.
  const struct {
    const char* road;
    std::shared_ptr<void> (*fetch)(TQManagedObjectContext& context, const TQFetchRequest& request,
                                   size_t& count);
  } roads[] = {
      {"the lists' road",
       [](TQManagedObjectContext& context, const TQFetchRequest& request,
          size_t& count) -> std::shared_ptr<void> {
         auto objects = context.executeFetchRequestForCommittedObjects(request, nullptr).value();
         count = objects.size();
         return std::make_shared<decltype(objects)>(std::move(objects));
       }},
      {"a plain fetch",
       [](TQManagedObjectContext& context, const TQFetchRequest& request,
          size_t& count) -> std::shared_ptr<void> {
         auto objects = context.executeFetchRequest(request, nullptr);
         count = objects.size();
         return std::make_shared<decltype(objects)>(std::move(objects));
       }},
  };
  std::printf("heap: %" PRIu64 " rows fetched through the main-queue context, then dropped\n",
              rows);
  bool ok = true;
  for (const auto& road : roads) {
    const int64_t before = heapInUse();
    size_t fetched = 0;
    auto held = road.fetch(*context, request, fetched);
    const int64_t holding = heapInUse();
    held.reset();
    const int64_t after = heapInUse();
    ok = ok && fetched == rows;
    std::printf(
        "  %-16s before %7.2f MiB  holding %7.2f MiB  after %7.2f MiB  left %6.2f MiB (target "
        "<= 5)\n",
        road.road, mebibytes(before), mebibytes(holding), mebibytes(after),
        mebibytes(after - before));
  }
  return ok;
}

}  // namespace

int main() {
  const uint64_t rows = bench::envCount("QUENLAR_BENCH_ROWS", 100000);
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 3));
  const auto made = bench::makeTemporaryDirectory("bench_store-");
  if (!made) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& dir = *made;
  const fs::path ours = dir / "library.sqlite";
  const fs::path theirs = dir / "sqlite3.sqlite";
  const fs::path script = dir / "rows.sql";
  int status = 0;
  try {
    const auto resources = makeResources(rows);
    writeScript(script, resources);
    const std::string command =
        "sqlite3 -batch '" + theirs.string() + "' < '" + script.string() + "' > /dev/null";
    double best = std::numeric_limits<double>::max();
    double bestReference = std::numeric_limits<double>::max();
    bool ok = true;
    for (uint64_t run = 0; run < runs && ok; ++run) {
      removeStore(ours);
      removeStore(theirs);
      best = std::min(best, bench::seconds([&] { ok = writeWithLibrary(ours, resources) && ok; }));
      bestReference =
          std::min(bestReference, bench::seconds([&] { ok = bench::runCommand(command) && ok; }));
    }
    if (!ok || rowsOf(ours) != rowsOf(theirs)) {
      std::fprintf(stderr, "the library and the sqlite3 command did not store the same rows\n");
      status = 1;
    }
    std::printf("store: %" PRIu64 " resources into a fresh file, best of %" PRIu64 " runs\n", rows,
                runs);
    std::printf(
        "bulk upsert   library %8.2f ms  sqlite3 %8.2f ms  ratio (library / sqlite3) %6.3f\n",
        best * 1e3, bestReference * 1e3, best / bestReference);

    tq::Environment::setDocumentsDirectory(dir / "Documents");
    double bestLogout = std::numeric_limits<double>::max();
    for (uint64_t run = 0; run < runs; ++run) {
      const double elapsed = timeLogout(resources);
      if (elapsed < 0) {
        status = 1;
        break;
      }
      bestLogout = std::min(bestLogout, elapsed);
    }
    std::printf("logout        %" PRIu64 " rows, contexts left unsaved  %8.2f ms (target < 500)\n",
                rows, bestLogout * 1e3);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    status = 1;
  }
  try {
    if (!heapOfDroppedRows(dir, 40000)) {
      status = 1;
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "benchmark failed: %s\n", failure.what());
    status = 1;
  }
  std::error_code error;
  fs::remove_all(dir, error);
  return status;
}
