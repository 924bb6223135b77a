// The trash listing over 5 virtual folders holding 50,000 trashed items in all, asked for page 2
// of 100 sorted by name: TQAPISDK::fetchTrash end to end (root listing, five trash calls side by
// side over loopback, JSON parsing, one TQMetadata per item, the merge, the localized
// case-insensitive sort and the page cut, delivery on the main queue) against the bare work done
// in a plain loop on the same answers already in memory: nlohmann::json parsing and a sort of the
// items by name with an ICU collator of the same strength. The server answers from bodies built
// beforehand, so its own work stays out of the library's time. Prints the best of several runs
// of each and their ratio (library time / reference time; lower is better).
//
// QUENLAR_BENCH_ITEMS sets the trashed items in all (default 50000); QUENLAR_BENCH_RUNS the runs
// (default 5).
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 5;
constexpr int32_t kPage = 2;
constexpr int32_t kCount = 100;

std::string folderName(int folder) { return "Folder " + std::to_string(folder); }

// A trashed item as the service describes one; one in ten is a folder. Names mix capitals and a
// few accented letters, so the collator has real work.
nlohmann::ordered_json trashedItem(int folder, int64_t index, bool isFolder) {
  static const char* const kStems[] = {"IMG_",    "holiday ", "Café ", "report-",
                                       "Résumé ", "notes ",   "DSC",   "track "};
  const std::string name =
      kStems[(index * 7) % 8] + std::to_string((index * 7919) % 1000003) + (isFolder ? "" : ".jpg");
  const std::string parent = "/" + folderName(folder);
  nlohmann::ordered_json item = {
      {"name", name},
      {"path", parent + "/" + name},
      {"parentPath", parent},
      {"uri", std::string(isFolder ? "cloud://folder/" : "cloud://file/") + std::to_string(index)},
      {"itemuid", "item-" + std::to_string(index)},
      {"version", 1},
      {"versionCreated", "2024-03-01T10:00:00.000Z"},
      {"deleted", true}};
  if (!isFolder) {
    item["contentToken"] = "content-" + std::to_string(index);
    item["checksum"] = "checksum-" + std::to_string(index);
    item["size"] = 1000 + index;
    item["mimeType"] = "image/jpeg";
    item["systemAttributes"] = {
        {"MimeType", "image/jpeg"}, {"CreationDate", "2024-03-01T10:00:00.000Z"}, {"Tags", ""}};
  }
  return item;
}

// Each virtual folder's trash answer, by folder name.
std::map<std::string, std::string> trashAnswers(int64_t items) {
  std::map<std::string, std::string> answers;
  for (int folder = 0; folder < kFolders; ++folder) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    nlohmann::ordered_json folders = nlohmann::ordered_json::array();
    for (int64_t index = folder; index < items; index += kFolders) {
      const bool isFolder = index % 10 == 9;
      (isFolder ? folders : files).push_back(trashedItem(folder, index, isFolder));
    }
    answers[folderName(folder)] =
        nlohmann::ordered_json{{"trashCan", {{"file", files}, {"folder", folders}}}}.dump();
  }
  return answers;
}

std::string rootAnswer() {
  nlohmann::ordered_json folders = nlohmann::ordered_json::array();
  for (int folder = 0; folder < kFolders; ++folder) {
    folders.push_back({{"name", folderName(folder)}, {"path", "/" + folderName(folder)}});
  }
  return nlohmann::ordered_json{{"folder", {{"name", ""}, {"path", "/"}, {"folder", folders}}}}
      .dump();
}

// The library's road; answers the names of the page it delivered.
std::optional<std::vector<std::string>> listWithLibrary() {
  auto params = std::make_shared<TQGetTrashAPIParams>();
  params->page = kPage;
  params->count = kCount;
  std::mutex mutex;
  std::condition_variable delivered;
  bool done = false;
  std::optional<std::vector<std::string>> names;
  TQAPISDK::sharedInstance()->fetchTrash(params, [&](const auto& items, const auto&) {
    std::lock_guard lock(mutex);
    if (items) {
      names.emplace();
      for (const auto& item : *items) {
        names->push_back(item->name().value_or(""));
      }
    }
    done = true;
    delivered.notify_all();
  });
  std::unique_lock lock(mutex);
  delivered.wait(lock, [&] { return done; });
  return names;
}

// The bare work: parse each answer, gather its items with their names, sort them by name with the
// collator, cut the page.
std::vector<std::string> listWithReference(const std::map<std::string, std::string>& answers,
                                           const icu::Collator& collator) {
  std::vector<nlohmann::json> documents;
  documents.reserve(answers.size());
  std::vector<std::pair<const std::string*, const nlohmann::json*>> items;
  for (const auto& [folder, body] : answers) {
    documents.push_back(nlohmann::json::parse(body));
    const auto& trashCan = documents.back().at("trashCan");
    for (const char* kind : {"file", "folder"}) {
      for (const auto& item : trashCan.at(kind)) {
        items.emplace_back(&item.at("name").get_ref<const std::string&>(), &item);
      }
    }
  }
  std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
    UErrorCode status = U_ZERO_ERROR;
    return collator.compareUTF8(
               icu::StringPiece(a.first->data(), static_cast<int32_t>(a.first->size())),
               icu::StringPiece(b.first->data(), static_cast<int32_t>(b.first->size())),
               status) == UCOL_LESS;
  });
  std::vector<std::string> names;
  const size_t first = static_cast<size_t>(kPage - 1) * kCount;
  for (size_t i = first; i < std::min(items.size(), first + kCount); ++i) {
    names.push_back(*items[i].first);
  }
  return names;
}

}  // namespace

int main() {
  const int64_t items = std::max<int64_t>(kFolders, bench::envNumber("QUENLAR_BENCH_ITEMS", 50000));
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));

  const auto answers = trashAnswers(items);
  const std::string root = rootAnswer();
  testserver::TestServer server;
  server.route("GET", "/cloud/1/metadata", [&root](const auto&, httplib::Response& response) {
    response.set_content(root, "application/json");
  });
  server.route("GET", "/cloud/1/trash",
               [&answers](const httplib::Request& request, httplib::Response& response) {
                 const auto found = answers.find(request.get_param_value("virtualfolder"));
                 if (found == answers.end()) {
                   response.status = 404;
                   return;
                 }
                 response.set_content(found->second, "application/json");
               });

  const auto made = bench::makeTemporaryDirectory("bench_trash-");
  if (!made) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& dir = *made;
  bench::setUpLibrary(dir, server.baseURL());

  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(
      icu::Collator::createInstance(icu::Locale::getDefault(), status));
  if (U_FAILURE(status) || !collator) {
    std::fprintf(stderr, "no collator\n");
    return 1;
  }
  collator->setStrength(icu::Collator::SECONDARY);

  int result = 0;
  double best = std::numeric_limits<double>::max();
  double bestReference = std::numeric_limits<double>::max();
  std::optional<std::vector<std::string>> ours;
  std::vector<std::string> reference;
  listWithLibrary();  // warm-up: connections and threads exist before timing
  for (uint64_t run = 0; run < runs; ++run) {
    server.clearLog();
    best = std::min(best, bench::seconds([&] { ours = listWithLibrary(); }));
    bestReference = std::min(
        bestReference, bench::seconds([&] { reference = listWithReference(answers, *collator); }));
  }
  size_t bytes = 0;
  for (const auto& [folder, body] : answers) {
    bytes += body.size();
  }
  std::printf("trash: %lld items in %d virtual folders (%.1f MB of answers), page %d of %d\n",
              static_cast<long long>(items), kFolders, static_cast<double>(bytes) / 1e6, kPage,
              kCount);
  std::printf(
      "  library %8.2f ms  reference %8.2f ms  ratio (library / reference) %6.3f "
      "(target <= 1.5)\n",
      best * 1e3, bestReference * 1e3, best / bestReference);
  if (!ours || *ours != reference) {
    std::fprintf(stderr, "the library and the reference chose different pages\n");
    result = 1;
  }
  tq::mainQueue().sync([] {});
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return result;
}
