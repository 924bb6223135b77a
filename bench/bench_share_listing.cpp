// Reading a share listing into records: an answer of 10,000 shares with 10 resources each (about
// 46 MB of JSON), taken from its body text to a TQShare as the facade does it (the library's JSON
// reading with its guards, then the share records), against parsing the same text with
// nlohmann::json alone. Prints the best of several runs of each and their ratio (library time /
// reference time; lower is better); the records' share of the library's time is printed too.
// Freeing the results is outside both timings.
//
// QUENLAR_BENCH_SHARES sets the number of shares (default 10000), QUENLAR_BENCH_RESOURCES the
// resources per share (default 10), QUENLAR_BENCH_RUNS the runs of each (default 5).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQShare.h"
#include "bench/BenchSupport.h"
#include "testserver/ShareState.h"

namespace {

using JSON = nlohmann::ordered_json;

std::string date(int64_t minute) {
  return testserver::shareDateText(testserver::ShareState::kFirstCreation + minute * 60'000);
}

JSON resourceObject(uint64_t share, uint64_t index) {
  const std::string uid = "9c1d7e52-" + std::to_string(share) + "-" + std::to_string(index);
  return {{"uid", uid},
          {"checksum", "5f2b0a1c9e8d7f6a5b4c3d2e1f0a9b8c7d6e5f4a3b2c1d0e9f8a7b6c5d4e3f2a"},
          {"contentToken", "ct-" + uid},
          {"lastModifiedDate", date(static_cast<int64_t>(share + index))},
          {"location", "/Photos/2024/IMG_" + std::to_string(share * 100 + index) + ".jpg"},
          {"url", "https://cloud.example.net/cloud/1/shares/share-" + std::to_string(share) +
                      "/resources/" + uid},
          {"name", "IMG_" + std::to_string(share * 100 + index) + ".jpg"},
          {"resourceId", "res-" + uid},
          {"size", 1'000'000 + share * 13 + index},
          {"type", "file"},
          {"subType", "image"}};
}

std::string listingText(uint64_t shares, uint64_t resourcesPerShare) {
  JSON list = JSON::array();
  for (uint64_t s = 0; s < shares; ++s) {
    JSON resources = JSON::array();
    for (uint64_t r = 0; r < resourcesPerShare; ++r) {
      resources.push_back(resourceObject(s, r));
    }
    const std::string uid = "share-" + std::to_string(s);
    list.push_back(
        {{"uid", uid},
         {"name", "Holiday " + std::to_string(s)},
         {"totalResourceCount", resourcesPerShare},
         {"owner", {{"uid", "user-1"}}},
         {"sharer", {{"uid", "user-1"}}},
         {"links", JSON::array({{{"rel", "self"},
                                 {"link", "https://cloud.example.net/cloud/1/shares/" + uid}}})},
         {"expiresIn", 604800},
         {"expirationDate", date(static_cast<int64_t>(s) + 10080)},
         {"creationDate", date(static_cast<int64_t>(s))},
         {"lastModifiedDate", date(static_cast<int64_t>(s))},
         {"publicInviteKey", "invite-" + std::to_string(s * 7919)},
         {"resources", std::move(resources)}});
  }
  const JSON answer = {
      {"shares",
       {{"count", shares},
        {"links",
         JSON::array({{{"rel", "next"},
                       {"link", "https://cloud.example.net/cloud/1/shares?cursor=%2B%2F8"}}})},
        {"share", std::move(list)}}}};
  return answer.dump();
}

// What the facade does with the body of a 200 answer: the call reads it into its outcome's JSON,
// and the share parse reads the records from that. The outcome keeps the JSON until the host lets
// it go, so the JSON is handed back here too and freed outside the timing, as the reference's is.
struct LibraryResult {
  std::shared_ptr<const tq::JSON> json;
  std::shared_ptr<TQShare> listing;
};

LibraryResult libraryRecords(const std::string& body) {
  static const tq::JSON kNone;
  LibraryResult result;
  result.json = TQAPI::parseData(body);
  const tq::JSON* shares = TQJSONReading::member(result.json.get(), "shares");
  result.listing = TQShare::initWithDictionary(shares != nullptr ? *shares : kNone);
  return result;
}

}  // namespace

int main() {
  const auto shares = bench::envCount("QUENLAR_BENCH_SHARES", 10000);
  const auto resources = bench::envCount("QUENLAR_BENCH_RESOURCES", 10);
  const auto runs = std::max<int64_t>(1, bench::envNumber("QUENLAR_BENCH_RUNS", 5));
  const std::string body = listingText(shares, resources);

  double reference = std::numeric_limits<double>::max();
  double library = std::numeric_limits<double>::max();
  double recordsOnly = std::numeric_limits<double>::max();
  // Each result is freed between the timings, so every timing starts after a large tree was
  // given back to the allocator, as the one before it did.
  for (int64_t run = 0; run < runs; ++run) {
    {
      nlohmann::json parsed;
      reference =
          std::min(reference, bench::seconds([&] { parsed = nlohmann::json::parse(body); }));
      if (parsed["shares"]["share"].size() != shares) {
        std::fprintf(stderr, "reference: wrong number of shares\n");
        return 1;
      }
    }
    {
      LibraryResult result;
      library = std::min(library, bench::seconds([&] { result = libraryRecords(body); }));
      const auto& listing = result.listing;
      if (!listing->shareList() || listing->shareList()->size() != shares ||
          listing->shareList()->back()->resources()->size() != resources) {
        std::fprintf(stderr, "library: wrong number of records\n");
        return 1;
      }
    }
  }
  {
    const auto json = TQAPI::parseData(body);
    for (int64_t run = 0; run < runs; ++run) {
      std::shared_ptr<TQShare> listing;
      recordsOnly = std::min(recordsOnly, bench::seconds([&] {
                               listing = TQShare::initWithDictionary(json->at("shares"));
                             }));
    }
  }

  std::printf("share listing: %llu shares x %llu resources, %.1f MB of JSON, best of %lld runs\n",
              static_cast<unsigned long long>(shares), static_cast<unsigned long long>(resources),
              static_cast<double>(body.size()) / 1e6, static_cast<long long>(runs));
  std::printf("  nlohmann::json::parse alone   %8.1f ms\n", reference * 1e3);
  std::printf("  library, body to TQShare      %8.1f ms (records alone %.1f ms)\n", library * 1e3,
              recordsOnly * 1e3);
  std::printf("  ratio library / reference     %8.2f (goal: at most 1.3)\n", library / reference);
  return 0;
}
