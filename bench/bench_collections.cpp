// The media collections over a store of 100,000 audio files by 5,000 artists, already in step
// with the test server (run in a process of its own), so that the sync inside each operation is
// answered 412:
// - getArtistsWithCompletionHandler (the whole road: the sync, the audio list's search sorted by
//   name, the distinct artists) against the `sqlite3` command running SELECT DISTINCT artist ...
//   ORDER BY name on the same file;
// - one artist's file list (the sync, the search for the artist's name ignoring case and
//   diacritics, the bound audio records) against the command's equivalent SELECT.
// The command's times include its process start, open and output, as a query from the command
// line would pay them. Prints the best of several runs of each and their ratio (library time /
// reference time; lower is better), and fails when the two disagree.
//
// QUENLAR_BENCH_ROWS sets the number of audio files (default 100000); QUENLAR_BENCH_RUNS the runs
// (default 5).
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"
#include "QuenlarCloudAPI/Model/TQArtist.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "bench/SyncBenchSupport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5;
constexpr int kArtists = 5000;
// An artist whose name holds no other's, so that both sides select the same files.
constexpr const char* kOneArtist = "Artist 4321";

// Names that percent-encoding leaves as they are, so that the stored ETags are sent again.
std::string folderName(int folder) { return "Music" + std::to_string(folder); }

void seed(testserver::ResourceTree& tree, uint64_t files) {
  for (int folder = 0; folder < kFolders; ++folder) {
    tree.addVirtualFolder(folderName(folder));
  }
  for (uint64_t i = 0; i < files; ++i) {
    const std::string artist = "Artist " + std::to_string(i * 7919 % kArtists);
    tree.addFile(
        "/" + folderName(static_cast<int>(i % kFolders)) + "/track " + std::to_string(i) + ".mp3",
        {{"systemAttributes",
          {{"Artist", artist},
           {"Genre", "Genre " + std::to_string(i % 40)},
           {"Album", "Album " + std::to_string(i % 9000)}}}});
  }
}

// Waits for one report of a facade operation whose handler receives a list and a response.
template <class Record, class Start>
std::vector<std::shared_ptr<Record>> await(Start start) {
  std::mutex mutex;
  std::condition_variable finished;
  std::optional<std::vector<std::shared_ptr<Record>>> records;
  start([&](const std::vector<std::shared_ptr<Record>>& list,
            const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
    std::lock_guard lock(mutex);
    records = list;
    finished.notify_all();
  });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return records.has_value(); });
  return *records;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

std::string runSQLite3(const std::string& select) {
  return bench::commandOutput("sqlite3 -batch -readonly '" +
                              TQPersistentStore::storeURL().string() + "' \"" + select + "\"");
}

struct Measured {
  double library = std::numeric_limits<double>::max();
  double reference = std::numeric_limits<double>::max();
};

void report(const char* what, const Measured& measured, size_t rows) {
  std::printf(
      "%-26s library %8.2f ms  sqlite3 %8.2f ms  rows %6zu  ratio (library / sqlite3) %6.3f "
      "(target <= 1.5)\n",
      what, measured.library * 1e3, measured.reference * 1e3, rows,
      measured.library / measured.reference);
}

}  // namespace

int main() {
  const uint64_t files = std::max<uint64_t>(1000, bench::envCount("QUENLAR_BENCH_ROWS", 100000));
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));
  bench::ServerProcess server([files](auto& tree) { seed(tree, files); }, [](auto& /*tree*/) {});
  const auto made = bench::libraryDirectory("bench_collections-", server.baseURL());
  if (!made) {
    return 1;
  }
  const fs::path& dir = *made;
  int status = 0;
  try {
    if (bench::fullSync() != 200) {
      throw std::runtime_error("the first sync failed");
    }
    auto& facade = *TQAPISDK::sharedInstance();
    std::printf("store: %llu audio files by %d artists, best of %llu runs\n",
                static_cast<unsigned long long>(files), kArtists,
                static_cast<unsigned long long>(runs));

    Measured artists;
    std::vector<std::shared_ptr<TQArtist>> ours;
    std::vector<std::string> reference;
    for (uint64_t run = 0; run < runs; ++run) {
      artists.library = std::min(artists.library, bench::seconds([&] {
                                   ours = await<TQArtist>([&](auto handler) {
                                     facade.getArtistsWithCompletionHandler(handler);
                                   });
                                 }));
      artists.reference =
          std::min(artists.reference, bench::seconds([&] {
                     reference = lines(runSQLite3(
                         "SELECT DISTINCT artist FROM TQDBResource WHERE contentType LIKE 'audio%' "
                         "ORDER BY name;"));
                   }));
    }
    report("artists", artists, ours.size());
    std::set<std::string> ourNames;
    for (const auto& artist : ours) {
      ourNames.insert(artist->name());
    }
    if (ours.size() != ourNames.size() ||
        ourNames != std::set<std::string>(reference.begin(), reference.end())) {
      std::fprintf(stderr, "artists: the library and the sqlite3 command differ\n");
      status = 1;
    }

    Measured fileList;
    const auto artist = TQArtist::initWithValue(kOneArtist);
    std::vector<std::shared_ptr<TQAudio>> audioFiles;
    std::vector<std::string> referenceRows;
    for (uint64_t run = 0; run < runs; ++run) {
      fileList.library = std::min(fileList.library, bench::seconds([&] {
                                    audioFiles = await<TQAudio>([&](auto handler) {
                                      artist->getFileWithCompletionHandler(handler);
                                    });
                                  }));
      fileList.reference =
          std::min(fileList.reference, bench::seconds([&] {
                     referenceRows =
                         lines(runSQLite3("SELECT objectID FROM TQDBResource WHERE artist LIKE '%" +
                                          std::string(kOneArtist) +
                                          "%' AND mimeType LIKE '%audio%' ORDER BY name DESC;"));
                   }));
    }
    report("one artist's file list", fileList, audioFiles.size());
    std::vector<std::string> ourRows;
    ourRows.reserve(audioFiles.size());
    for (const auto& audio : audioFiles) {
      ourRows.push_back(std::to_string(audio->dbResourceID()->rowID()));
    }
    if (ourRows != referenceRows || ourRows.empty()) {
      std::fprintf(stderr, "file list: the library and the sqlite3 command differ\n");
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
