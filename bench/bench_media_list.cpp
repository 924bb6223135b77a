// The photo list over a store of 100,000 resources, 40,000 of them photos: the library's whole
// road (getPhotosWithCompletionHandler: its full sync, here five 412 answers; the local search's
// fetch, folding every stored content type; one record bound to each row, the rows read a few
// thousand at a time; delivery on the main queue; each record's name read) against the `sqlite3`
// command selecting the same rows' columns sorted by name (process start, open and output
// included). Prints the best of several runs of each and their ratio (library / sqlite3; lower is
// better).
//
// QUENLAR_BENCH_ROWS sets the number of resources (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 5).
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "bench/SyncBenchSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5;
const char* const kFolderNames[kFolders] = {"Photos", "Videos", "Music", "Documents", "Archive"};

// Two in five resources are photos; the rest are videos, audio files, documents and text.
void seed(testserver::ResourceTree& tree, uint64_t rows) {
  static const char* const kExtensions[] = {".jpg", ".mp4", ".jpg", ".mp3", ".pdf",
                                            ".jpg", ".txt", ".jpg", ".mp4", ".mp3"};
  for (const char* folder : kFolderNames) {
    tree.addVirtualFolder(folder);
  }
  for (uint64_t i = 0; i < rows; ++i) {
    tree.addFile("/" + std::string(kFolderNames[i % kFolders]) + "/IMG_" +
                 std::to_string((i * 7919) % rows) + kExtensions[i % std::size(kExtensions)]);
  }
}

// The photo list's records, once delivered, with each name read.
size_t photoList() {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  size_t named = 0;
  TQAPISDK::sharedInstance()->getPhotosWithCompletionHandler(
      [&](const std::vector<std::shared_ptr<TQPhoto>>& photos,
          const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
        size_t count = 0;
        for (const auto& photo : photos) {
          count += photo->name().has_value() ? 1 : 0;
        }
        std::lock_guard lock(mutex);
        named = count;
        done = true;
        finished.notify_all();
      });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return done; });
  return named;
}

// The local search that the photo list runs, alone: identifiers only.
size_t photoSearch() {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  size_t found = 0;
  auto params = std::make_shared<TQSearchAPIParams>();
  params->query = "contentType:image*";
  params->setSortKey("name", true);
  TQAPISDK::sharedInstance()->search(
      params, [&](const std::optional<std::vector<TQManagedObjectID>>& identifiers,
                  const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
        std::lock_guard lock(mutex);
        found = identifiers ? identifiers->size() : 0;
        done = true;
        finished.notify_all();
      });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return done; });
  return found;
}

}  // namespace

int main() {
  const uint64_t rows = std::max<uint64_t>(1000, bench::envCount("QUENLAR_BENCH_ROWS", 100000));
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));
  bench::ServerProcess server([rows](auto& tree) { seed(tree, rows); }, [](auto& /*tree*/) {});
  const auto made = bench::libraryDirectory("bench_media_list-", server.baseURL());
  if (!made) {
    return 1;
  }
  const fs::path& dir = *made;
  int status = 0;
  try {
    if (bench::fullSync() != 200) {
      throw std::runtime_error("the first sync failed");
    }
    const std::string command = "sqlite3 -batch -readonly '" +
                                TQPersistentStore::storeURL().string() +
                                "' \"SELECT * FROM TQDBResource WHERE contentType LIKE 'image%' "
                                "ORDER BY name\"";
    double bestSearch = std::numeric_limits<double>::max();
    double best = std::numeric_limits<double>::max();
    double bestReference = std::numeric_limits<double>::max();
    size_t photos = 0;
    size_t referenceRows = 0;
    for (uint64_t run = 0; run < runs; ++run) {
      bestSearch = std::min(bestSearch, bench::seconds([&] { photoSearch(); }));
      best = std::min(best, bench::seconds([&] { photos = photoList(); }));
      bestReference = std::min(
          bestReference, bench::seconds([&] {
            const std::string output = bench::commandOutput(command);
            referenceRows = static_cast<size_t>(std::count(output.begin(), output.end(), '\n'));
          }));
    }
    std::printf("media list: %llu stored resources, best of %llu runs\n",
                static_cast<unsigned long long>(rows), static_cast<unsigned long long>(runs));
    std::printf(
        "  getPhotos  library %8.1f ms  sqlite3 %8.1f ms  photos %zu  ratio %6.3f "
        "(target <= 1.2)\n",
        best * 1e3, bestReference * 1e3, photos, best / bestReference);
    std::printf("  of which the local search (identifiers only) %8.1f ms\n", bestSearch * 1e3);
    if (photos != referenceRows) {
      std::fprintf(stderr, "the library listed %zu photos, the sqlite3 command %zu rows\n", photos,
                   referenceRows);
      status = 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return status;
}
