// The full sync of 100,000 resources in 5 virtual folders from the test server (run in a process
// of its own): the library's whole road (root listing, five fullview calls side by side, each
// answer spooled, read as it streams and merged in one transaction) against the `sqlite3` command
// importing the same rows into the same schema in one transaction (process start, parsing and
// close included). Then an unchanged re-sync (every folder answers 412) and a sync of a change to
// 1% of the rows, each against the first sync. Prints the best of several runs, the ratios, and
// the first sync's peak growth of resident memory against the largest answer's size.
//
// QUENLAR_BENCH_ROWS sets the number of resources (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 3).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "bench/SyncBenchSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5;
constexpr uint64_t kAlbumsPerFolder = 20;
const char* const kExtensions[] = {".jpg", ".png", ".mp4", ".mp3", ".pdf", ".txt"};

// Names the URL carries as they are: a folder whose name the encoding changes is never found by
// its stored ETag, and always fetched whole.
std::string folderName(int folder) {
  static const char* const kNames[kFolders] = {"Photos", "Videos", "Music", "Documents", "Archive"};
  return kNames[folder];
}

void seed(testserver::ResourceTree& tree, uint64_t rows) {
  for (int folder = 0; folder < kFolders; ++folder) {
    tree.addVirtualFolder(folderName(folder));
    for (uint64_t sub = 0; sub < kAlbumsPerFolder; ++sub) {
      tree.addFolder("/" + folderName(folder) + "/album_" + std::to_string(sub));
    }
  }
  for (uint64_t i = 0; i < rows - kFolders * kAlbumsPerFolder; ++i) {
    const int folder = static_cast<int>(i % kFolders);
    tree.addFile("/" + folderName(folder) + "/album_" +
                     std::to_string(i / kFolders % kAlbumsPerFolder) + "/IMG_" + std::to_string(i) +
                     kExtensions[i % std::size(kExtensions)],
                 {{"systemAttributes", {{"Tags", i % 5 == 0 ? "holiday,family" : ""}}}});
  }
}

// A change to 1% of the rows, spread over the folders: new tags, new files, files gone.
void changeOnePercent(testserver::ResourceTree& tree, uint64_t rows) {
  static uint64_t round = 0;
  ++round;
  const uint64_t changes = rows / 100;
  uint64_t made = 0;
  for (const auto& item : tree.liveItems()) {
    if (made >= changes) {
      break;
    }
    const auto path = item["path"].get<std::string>();
    if (!item.contains("contentToken") || path.find("/IMG_") == std::string::npos) {
      continue;
    }
    switch (made % 3) {
      case 0:
        tree.update(path, {{"systemAttributes", {{"Tags", "round " + std::to_string(round)}}}});
        break;
      case 1:
        tree.addFile(path.substr(0, path.rfind('/')) + "/NEW_" + std::to_string(round) + "_" +
                     std::to_string(made) + ".jpg");
        break;
      default:
        tree.remove(path, true);
        break;
    }
    ++made;
  }
}

// Rows one changeOnePercent() adds, net: it updates, adds and removes in turn, so its additions
// outnumber its removals by one when its count of changes leaves two over a multiple of three.
int64_t rowsAddedByAChange(uint64_t rows) { return (rows / 100) % 3 == 2 ? 1 : 0; }

// A sync that is not the first succeeded when its combined response is 200 or 412: every folder
// answering 200 or 412 makes the first folder's answer the combined one, and a folder whose rows
// did not change answers 412 even when another folder's did.
bool resynced(int status) { return status == 200 || status == 412; }

// The command's input: the store's schema and settings, then the rows the library stored, as
// INSERT statements in one transaction.
void writeScript(const fs::path& store, const fs::path& script) {
  std::string values;
  std::string columns;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity("TQDBResource")) {
    const std::string column = "\"" + std::string(attribute.column) + "\"";
    values += (values.empty() ? "quote(" : " || ',' || quote(") + column + ")";
    columns += (columns.empty() ? "" : ", ") + column;
  }
  std::ofstream out(script, std::ios::binary);
  out << "PRAGMA page_size = 16384;\nPRAGMA journal_mode = WAL;\nPRAGMA synchronous = NORMAL;\n"
      << "PRAGMA journal_size_limit = 67108864;\nPRAGMA cache_size = -65536;\n"
      << TQDataModel::schemaSQL() << "BEGIN;\n";
  tq::SQLiteDatabase database(store, tq::SQLiteDatabase::OpenMode::ReadOnly);
  auto rows = database.prepare("SELECT " + values + " FROM \"TQDBResource\"");
  while (rows.step()) {
    out << "INSERT INTO \"TQDBResource\" (" << columns << ") VALUES ("
        << rows.columnText(0).value_or("") << ");\n";
  }
  out << "COMMIT;\n";
}

int64_t storedRows() {
  tq::SQLiteDatabase database(TQPersistentStore::storeURL(),
                              tq::SQLiteDatabase::OpenMode::ReadOnly);
  auto count = database.prepare("SELECT count(*) FROM \"TQDBResource\"");
  return count.step() ? count.columnInt64(0).value_or(0) : 0;
}

}  // namespace

int main() {
  const uint64_t rows = std::max<uint64_t>(1000, bench::envCount("QUENLAR_BENCH_ROWS", 100000));
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 3));
  bench::ServerProcess server([rows](auto& tree) { seed(tree, rows); },
                              [rows](auto& tree) { changeOnePercent(tree, rows); });
  const auto made = bench::libraryDirectory("bench_full_sync-", server.baseURL());
  if (!made) {
    return 1;
  }
  const fs::path& dir = *made;
  int status = 0;
  try {
    size_t largestAnswer = 0;
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::string name = folderName(folder);
      largestAnswer = std::max(
          largestAnswer,
          bench::commandOutput("curl -s -H 'Authorization: Bearer x' '" + server.baseURL() +
                               "/cloud/1/fullview?virtualfolder=" + name + "'")
              .size());
    }
    auto& store = *TQPersistentStore::sharedPersistentStore();

    // First sync, fresh: timed, and its peak memory measured.
    const int64_t residentBefore = bench::statusBytes("VmRSS");
    bench::resetPeakResidentSize();
    double first = bench::seconds([&] { status |= bench::fullSync() == 200 ? 0 : 1; });
    const int64_t peakGrowth = bench::statusBytes("VmHWM") - residentBefore;
    if (storedRows() != static_cast<int64_t>(rows)) {
      std::fprintf(stderr, "the store holds %lld rows, not %llu\n",
                   static_cast<long long>(storedRows()), static_cast<unsigned long long>(rows));
      status = 1;
    }
    const fs::path script = dir / "rows.sql";
    writeScript(TQPersistentStore::storeURL(), script);
    for (uint64_t run = 1; run < runs; ++run) {
      store.deleteAllObjects(nullptr);  // forgets the ETags too: the next sync is a first one
      first = std::min(first, bench::seconds([&] { status |= bench::fullSync() == 200 ? 0 : 1; }));
    }
    double reference = std::numeric_limits<double>::max();
    for (uint64_t run = 0; run < runs; ++run) {
      const fs::path target = dir / ("sqlite3-" + std::to_string(run) + ".sqlite");
      reference = std::min(reference, bench::seconds([&] {
                             status |=
                                 bench::runCommand("sqlite3 -batch '" + target.string() + "' < '" +
                                                   script.string() + "' > /dev/null")
                                     ? 0
                                     : 1;
                           }));
    }

    double unchanged = std::numeric_limits<double>::max();
    for (uint64_t run = 0; run < runs; ++run) {
      unchanged =
          std::min(unchanged, bench::seconds([&] { status |= bench::fullSync() == 412 ? 0 : 1; }));
    }
    double delta = std::numeric_limits<double>::max();
    for (uint64_t run = 0; run < runs; ++run) {
      server.change();
      delta =
          std::min(delta, bench::seconds([&] { status |= resynced(bench::fullSync()) ? 0 : 1; }));
    }
    const auto expectedRows =
        static_cast<int64_t>(rows) + static_cast<int64_t>(runs) * rowsAddedByAChange(rows);
    if (storedRows() != expectedRows) {
      std::fprintf(stderr, "after the changes the store holds %lld rows, not %lld\n",
                   static_cast<long long>(storedRows()), static_cast<long long>(expectedRows));
      status = 1;
    }

    std::printf("full sync: %llu resources in %d virtual folders, best of %llu runs\n",
                static_cast<unsigned long long>(rows), kFolders,
                static_cast<unsigned long long>(runs));
    std::printf(
        "  first sync   library %8.1f ms  sqlite3 import %8.1f ms  ratio %6.3f "
        "(target <= 1.0)\n",
        first * 1e3, reference * 1e3, first / reference);
    std::printf(
        "  peak memory growth %6.1f MB, largest answer %6.1f MB, ratio %5.2f "
        "(target < 4)\n",
        static_cast<double>(peakGrowth) / 1e6, static_cast<double>(largestAnswer) / 1e6,
        static_cast<double>(peakGrowth) / static_cast<double>(largestAnswer));
    std::printf("  unchanged    %8.2f ms  ratio to first %6.4f (target < 0.01)\n", unchanged * 1e3,
                unchanged / first);
    std::printf("  delta of 1%%  %8.2f ms  ratio to first %6.4f (target < 0.05)\n", delta * 1e3,
                delta / first);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return status;
}
