// The contact listing's three costs, each against its own reference, taken in the same run:
//
// 1. Gathering: fetchContacts() of a 20,000-contact address book (the first page and 99 later
//    ones, 200 contacts each) from the in-process test server, which holds every page 50 ms.
//    Later pages run 30 at a time (the connections per host), so the goal is at most 1.5 times
//    ceil(later pages / 30) x 50 ms on top of the unpaged first call, measured alone.
// 2. Sorting: TQContactSort of 100,000 contacts by last name against sorting the same names by
//    precomputed collation keys (tq::Unicode::localizedCaseInsensitiveSortKey) in a plain loop;
//    goal at most 1.2.
// 3. Reading: one answer page of 200 contacts parsed and built into records, as a call reads
//    it, against parsing the same text with nlohmann::json alone; goal at most 1.5.
//
// QUENLAR_BENCH_CONTACTS sets the address book's size (default 20000), QUENLAR_BENCH_DELAY_MS the
// delay per page (default 50), QUENLAR_BENCH_SORTED the contacts sorted (default 100000),
// QUENLAR_BENCH_RUNS the runs of each (default 5; the best is kept).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactListAnswer.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactSort.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/Keychain.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "bench/BenchSupport.h"
#include "bench/LibrarySetup.h"
#include "testserver/AccountRoutes.h"
#include "testserver/ContactRoutes.h"
#include "testserver/TestServer.h"

namespace {

namespace fs = std::filesystem;
using JSON = nlohmann::ordered_json;
using Contacts = std::vector<std::shared_ptr<TQContact>>;

// Last names mixing case and a few accented letters, in no particular order.
std::string nameOf(std::mt19937& random) {
  static const std::vector<std::string> syllables = {"ka", "Lo", "mé", "Ri", "sa", "To",
                                                     "vé", "Ne", "zu", "Bo", "ch", "Ål"};
  std::uniform_int_distribution<size_t> pick(0, syllables.size() - 1);
  std::uniform_int_distribution<int> length(2, 5);
  std::string name;
  for (int i = length(random); i > 0; --i) {
    name += syllables[pick(random)];
  }
  return name;
}

JSON contactObject(std::mt19937& random, int i) {
  const std::string last = nameOf(random);
  return {{"firstname", nameOf(random)},
          {"lastname", last},
          {"nickname", "nick" + std::to_string(i)},
          {"orgname", "Organisation " + std::to_string(i % 97)},
          {"jobtitle", "Engineer"},
          {"birthday", "1980-01-01"},
          {"created", "2020-01-01T00:00:00.000Z"},
          {"modified", "2021-01-01T00:00:00.000Z"},
          {"favorite", i % 5 == 0},
          {"incaseofemergency", false},
          {"note", "A note about contact " + std::to_string(i)},
          {"tel", {{{"type", "mobile"}, {"indx", 1}, {"preference", 1}, {"number", 5550000 + i}}}},
          {"email", {{{"type", "work"}, {"indx", 1}, {"address", last + "@example.test"}}}},
          {"address",
           {{{"type", "home"},
             {"street", "1 Main Street"},
             {"city", "Springfield"},
             {"zipcode", "12345"},
             {"country", "US"}}}}};
}

std::shared_ptr<TQContactAPIParams> everyContact() {
  return std::make_shared<TQContactAPIParams>();
}

double timeGathering(size_t& gathered) {
  std::promise<size_t> done;
  auto future = done.get_future();
  const double seconds = bench::seconds([&] {
    TQAPISDK::sharedInstance()->fetchContacts(
        everyContact(), [&done](const std::optional<Contacts>& contacts,
                                const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
          done.set_value(contacts ? contacts->size() : 0);
        });
    gathered = future.get();
  });
  return seconds;
}

double timeFirstCall() {
  std::promise<void> done;
  auto future = done.get_future();
  return bench::seconds([&] {
    TQAPISDK::sharedInstance()->fetchContactsWithCompletionHandler(
        [&done](const std::optional<Contacts>& /*contacts*/,
                const std::shared_ptr<TQAPIQueryResponse>& /*response*/) { done.set_value(); });
    future.wait();
  });
}

void benchGathering(uint64_t runs) {
  const auto contacts = static_cast<int>(bench::envCount("QUENLAR_BENCH_CONTACTS", 20000));
  const auto delay = std::chrono::milliseconds(bench::envCount("QUENLAR_BENCH_DELAY_MS", 50));

  testserver::TestServer server;
  testserver::installAccountRoutes(server);
  testserver::installContactRoutes(server);
  auto& book = server.state<testserver::AddressBook>();
  std::mt19937 random(7);
  for (int i = 0; i < contacts; ++i) {
    char id[16];
    std::snprintf(id, sizeof(id), "c%06d", i);
    book.put(id, contactObject(random, i));
  }
  book.setDelayPerPage(delay);

  const fs::path root =
      fs::temp_directory_path() / ("quenlar-bench-contacts-" + std::to_string(::getpid()));
  bench::setUpLibrary(root, server.baseURL());

  size_t gathered = 0;
  timeGathering(gathered);  // warm-up: connections and threads exist before timing
  double bestFirst = 1e9;
  double bestTotal = 1e9;
  for (uint64_t run = 0; run < runs; ++run) {
    server.clearLog();
    bestFirst = std::min(bestFirst, timeFirstCall());
    bestTotal = std::min(bestTotal, timeGathering(gathered));
  }
  const int64_t pageSize = TQAPISDK::contactPageSize;
  const int64_t laterPages = (contacts + pageSize - 1) / pageSize - 1;
  const double rounds = std::ceil(static_cast<double>(laterPages) / 30.0);
  const double ideal = rounds * std::chrono::duration<double>(delay).count();
  std::printf("gathering: %d contacts, %lld later pages, %lld ms per page\n", contacts,
              static_cast<long long>(laterPages), static_cast<long long>(delay.count()));
  std::printf("  handed over %zu contacts\n", gathered);
  std::printf("  unpaged first call:  %8.1f ms (best of %llu)\n", bestFirst * 1e3,
              static_cast<unsigned long long>(runs));
  std::printf("  whole listing:       %8.1f ms (best of %llu)\n", bestTotal * 1e3,
              static_cast<unsigned long long>(runs));
  std::printf("  later pages:         %8.1f ms against %.0f ms (%.0f rounds of 30)\n",
              (bestTotal - bestFirst) * 1e3, ideal * 1e3, rounds);
  std::printf("  ratio (whole - first) / ideal: %.2f (target <= 1.50)\n",
              (bestTotal - bestFirst) / ideal);

  tq::mainQueue().sync([] {});
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

void benchSorting(uint64_t runs) {
  const auto count = bench::envCount("QUENLAR_BENCH_SORTED", 100000);
  std::mt19937 random(11);
  Contacts contacts;
  std::vector<std::string> names;
  contacts.reserve(count);
  names.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    std::string name = nameOf(random);
    contacts.push_back(TQContact::initWithDictionary({{"lastname", name}}));
    names.push_back(std::move(name));
  }
  TQContactAPIParams params;
  params.setSortKey(TQContactSortKeyLastName, true);

  double bestLibrary = 1e9;
  double bestReference = 1e9;
  size_t check = 0;
  for (uint64_t run = 0; run < runs; ++run) {
    // The facade hands the gathered list over to the sort; so does this run.
    Contacts handedOver = contacts;
    bestLibrary = std::min(bestLibrary, bench::seconds([&] {
                             const auto sorted =
                                 TQContactSort::sortedContacts(std::move(handedOver), params);
                             check += sorted.size();
                           }));
    bestReference =
        std::min(bestReference, bench::seconds([&] {
                   std::vector<std::pair<std::string, size_t>> keys;
                   keys.reserve(names.size());
                   for (size_t i = 0; i < names.size(); ++i) {
                     keys.emplace_back(tq::Unicode::localizedCaseInsensitiveSortKey(names[i]), i);
                   }
                   std::stable_sort(keys.begin(), keys.end());
                   check += keys.size();
                 }));
  }
  std::printf("sorting: %llu contacts by last name (%zu sorted)\n",
              static_cast<unsigned long long>(count), check);
  std::printf("  keys in a plain loop: %8.1f ms (best of %llu)\n", bestReference * 1e3,
              static_cast<unsigned long long>(runs));
  std::printf("  contact sort:         %8.1f ms\n", bestLibrary * 1e3);
  std::printf("  ratio contact sort / plain loop: %.2f (target <= 1.20)\n",
              bestLibrary / bestReference);
}

void benchReading(uint64_t runs) {
  std::mt19937 random(13);
  JSON page = JSON::array();
  for (int i = 0; i < TQAPISDK::contactPageSize; ++i) {
    JSON contact = contactObject(random, i);
    contact["id"] = "c" + std::to_string(i);
    contact["version"] = 1;
    page.push_back(std::move(contact));
  }
  const std::string body =
      JSON{{"contactsResponse",
            {{"account", {{"addrbook", {{"contacts", {{"contact", page}, {"itemcount", 200}}}}}}}}}}
          .dump();

  constexpr int kRepeats = 50;
  double bestLibrary = 1e9;
  double bestReference = 1e9;
  size_t check = 0;
  for (uint64_t run = 0; run < runs; ++run) {
    bestLibrary = std::min(bestLibrary, bench::seconds([&] {
                             for (int i = 0; i < kRepeats; ++i) {
                               TQAPIQueryResponse response;
                               response.setJsonResponse(TQAPI::parseData(body));
                               check += TQContactListAnswer::contacts(response).size();
                             }
                           }));
    bestReference = std::min(bestReference, bench::seconds([&] {
                               for (int i = 0; i < kRepeats; ++i) {
                                 check += nlohmann::json::parse(body).size();
                               }
                             }));
  }
  std::printf("reading: one page of 200 contacts, %zu bytes (%zu read)\n", body.size(), check);
  std::printf("  nlohmann::json parse:     %8.3f ms per page (best of %llu)\n",
              bestReference * 1e3 / kRepeats, static_cast<unsigned long long>(runs));
  std::printf("  parse and build contacts: %8.3f ms per page\n", bestLibrary * 1e3 / kRepeats);
  std::printf("  ratio library / parse alone: %.2f (target <= 1.50)\n",
              bestLibrary / bestReference);
}

}  // namespace

int main() {
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 5));
  benchReading(runs);
  benchSorting(runs);
  benchGathering(runs);
  return 0;
}
