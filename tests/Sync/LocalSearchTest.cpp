// The local search and the media lists end to end: a full sync against the stand-in service,
// then the local store's rows, sorted, paged and bound to records.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQLocalSearch.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "tests/Sync/SyncFixture.h"

namespace {

using synctest::Strings;
using Identifiers = std::optional<std::vector<TQManagedObjectID>>;

struct SearchOutcome {
  Identifiers identifiers;
  std::shared_ptr<TQAPIQueryResponse> response;
};

struct Search {
  std::string query;
  std::optional<std::pair<std::string, bool>> sortKey;
  int32_t page = 0;
  int32_t start = 0;
  int32_t count = 0;
};

std::shared_ptr<TQSearchAPIParams> record(const Search& search) {
  auto params = std::make_shared<TQSearchAPIParams>();
  params->query = search.query;
  if (search.sortKey) {
    params->setSortKey(search.sortKey->first, search.sortKey->second);
  }
  params->page = search.page;
  params->start = search.start;
  params->count = search.count;
  return params;
}

class LocalSearchTest : public synctest::SyncFixture {
 protected:
  void SetUp() override {
    SyncFixture::SetUp();
    tree().addVirtualFolder("Media");
    for (const char* name : {"b.jpg", "A.png", "c.mp4", "d.mp3", "e.pdf", "f.txt", "g.jpg"}) {
      tree().addFile(std::string("/Media/") + name);
    }
    tree().addFolder("/Media/sub");
  }

  static SearchOutcome search(const Search& search) {
    testsupport::Latch done;
    SearchOutcome outcome;
    TQAPISDK::sharedInstance()->search(
        record(search),
        [&](const Identifiers& identifiers, const std::shared_ptr<TQAPIQueryResponse>& response) {
          EXPECT_TRUE(tq::mainQueue().isCurrent());
          outcome = {identifiers, response};
          done.countDown();
        });
    EXPECT_TRUE(done.wait());
    return outcome;
  }

  // The stored names of the rows, in order; nullopt for none.
  static std::optional<Strings> names(const Identifiers& identifiers) {
    if (!identifiers) {
      return std::nullopt;
    }
    std::map<int64_t, std::string> byRow;
    for (const auto& row : query("SELECT objectID || char(9) || name FROM TQDBResource")) {
      byRow[std::stoll(row)] = row.substr(row.find('\t') + 1);
    }
    Strings result;
    for (const auto& identifier : *identifiers) {
      result.push_back(byRow[identifier.rowID()]);
    }
    return result;
  }

  // A media list's names, each element checked to be of the list's own class and bound to its
  // row, and the status of its response.
  template <class Item>
  static std::pair<Strings, int> mediaList(
      void (TQAPISDK::*operation)(TQMediaListCompletionHandler<Item>)) {
    testsupport::Latch done;
    std::pair<Strings, int> outcome;
    (TQAPISDK::sharedInstance().get()->*operation)(
        [&](const std::vector<std::shared_ptr<Item>>& items,
            const std::shared_ptr<TQAPIQueryResponse>& response) {
          for (const auto& item : items) {
            const TQResourceItem& base = *item;
            EXPECT_EQ(typeid(base), typeid(Item));
            EXPECT_TRUE(item->dbResourceID().has_value());
            outcome.first.push_back(item->name().value_or("nil"));
          }
          outcome.second = response->statusCode();
          done.countDown();
        });
    EXPECT_TRUE(done.wait());
    return outcome;
  }
};

TEST_F(LocalSearchTest, SortsPagesAndFiltersTheStoredRows) {
  const Strings all = {"A.png", "b.jpg", "c.mp4", "d.mp3", "e.pdf", "f.txt", "g.jpg", "sub"};
  const Strings allDescending(all.rbegin(), all.rend());
  const struct {
    const char* reason;
    Search search;
    std::optional<Strings> expected;
  } cases[] = {
      {"no sort: by name from Z to A", {.query = "name:*"}, allDescending},
      {"name ascending", {.query = "name:*", .sortKey = {{"name", true}}}, all},
      {"a content-type query",
       {.query = "contentType:image*", .sortKey = {{"name", true}}},
       Strings{"A.png", "b.jpg", "g.jpg"}},
      {"another key, descending",
       {.query = "contentType:image*", .sortKey = {{"size", false}}},
       Strings{"g.jpg", "A.png", "b.jpg"}},
      {"page 2 of 3",
       {.query = "name:*", .sortKey = {{"name", true}}, .page = 2, .count = 3},
       Strings{"d.mp3", "e.pdf", "f.txt"}},
      {"start stands for a page number",
       {.query = "name:*", .sortKey = {{"name", true}}, .start = 2, .count = 3},
       Strings{"d.mp3", "e.pdf", "f.txt"}},
      {"the last page is short",
       {.query = "name:*", .sortKey = {{"name", true}}, .page = 3, .count = 3},
       Strings{"g.jpg", "sub"}},
      {"a page past the last is nil",
       {.query = "name:*", .sortKey = {{"name", true}}, .page = 4, .count = 3},
       std::nullopt},
      {"no match is empty, never nil, whatever the page",
       {.query = "name:nothing", .page = 4, .count = 3},
       Strings{}},
      {"a query that cannot be read at all matches every row",
       {.query = "justoneword"},
       allDescending},
      {"a sort key that is no attribute gives nothing",
       {.query = "name:*", .sortKey = {{"colour", true}}},
       Strings{}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const auto outcome = search(c.search);
    ASSERT_NE(outcome.response, nullptr);
    EXPECT_EQ(names(outcome.identifiers), c.expected);
  }
  Strings unknownKeyLines;
  for (const auto& line : systemLogLines()) {
    if (line.find("colour") != std::string::npos) {
      unknownKeyLines.push_back(line);
    }
  }
  EXPECT_EQ(unknownKeyLines.size(), 1U) << "one line, and no SQL built from the key";
}

TEST_F(LocalSearchTest, TheStoreIsReadOnlyAfterASyncThatSucceeded) {
  const auto first = search({.query = "contentType:image*"});
  EXPECT_EQ(first.response->statusCode(), 200);
  EXPECT_EQ(names(first.identifiers), (Strings{"g.jpg", "b.jpg", "A.png"}));
  const auto unchanged = search({.query = "contentType:image*"});
  EXPECT_EQ(unchanged.response->statusCode(), 412) << "nothing changed on the server";
  EXPECT_EQ(names(unchanged.identifiers), names(first.identifiers));

  server().script("GET", "/cloud/1/fullview", {.status = 500, .body = "{}"});
  const auto failed = search({.query = "contentType:image*"});
  EXPECT_EQ(failed.response->statusCode(), 500);
  EXPECT_EQ(failed.identifiers, std::nullopt);

  server().script("GET", "/cloud/1/fullview", {.body = "<html>Service busy</html>"});
  const auto unmerged = search({.query = "contentType:image*"});
  EXPECT_EQ(unmerged.response->statusCode(), 200);
  EXPECT_TRUE(unmerged.response->error().has_value());
  EXPECT_EQ(unmerged.identifiers, std::nullopt) << "a 200 whose answer was not merged";

  // A bad record raises before anything is sent.
  server().clearLog();
  try {
    TQAPISDK::sharedInstance()->search(record({.query = "name:a", .page = 3, .start = -1}),
                                       nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), "Negative start <REQUIRED PARAMETER> is missing.");
  }
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(LocalSearchTest, MediaListsAreTypedAndSortedByName) {
  using Outcome = std::pair<Strings, int>;
  EXPECT_EQ(mediaList(&TQAPISDK::getPhotosWithCompletionHandler),
            Outcome({"A.png", "b.jpg", "g.jpg"}, 200));
  EXPECT_EQ(mediaList(&TQAPISDK::getVideosWithCompletionHandler), Outcome({"c.mp4"}, 412));
  EXPECT_EQ(mediaList(&TQAPISDK::getAudiosWithCompletionHandler), Outcome({"d.mp3"}, 412));
  EXPECT_EQ(mediaList(&TQAPISDK::getDocumentsWithCompletionHandler), Outcome({"e.pdf"}, 412));

  tree().remove("/Media/d.mp3", true);
  EXPECT_EQ(mediaList(&TQAPISDK::getAudiosWithCompletionHandler), Outcome({}, 200));
  server().script("GET", "/cloud/1/metadata", {.status = 503, .body = "{}"});
  EXPECT_EQ(mediaList(&TQAPISDK::getPhotosWithCompletionHandler), Outcome({}, 503))
      << "an empty list, never nil";
}

// The audio files of a long list, a page at a time: the fetch reads the page's rows only, so a
// page makes as many row objects as it shows, whichever page it is.
TEST_F(LocalSearchTest, APageOfALongListMakesTheObjectsOfItsOwnRowsOnly) {
  constexpr int kRows = 100000;
  constexpr int kAudioEvery = 4;
  // The first sync fills the store; later ones answer 412 and leave the rows written below.
  ASSERT_EQ(search({.query = "name:*"}).response->statusCode(), 200);
  // Names of one length, so that their order is the rows' order.
  const auto nameOf = [](int row) { return "track" + std::to_string(kRows + row) + ".mp3"; };
  std::vector<TQResourceValues> rows(kRows);
  for (int i = 0; i < kRows; ++i) {
    rows[i].name = nameOf(i);
    rows[i].uri = "u" + std::to_string(i);
    rows[i].contentType = i % kAudioEvery == 0 ? "audio/x-long" : "image/jpeg";
  }
  const auto store = TQPersistentStore::sharedPersistentStore();
  ASSERT_TRUE(store->performWrite(
      store->currentEpoch(), [&](TQWriteTransaction& write) { write.upsertResources(rows); },
      nullptr));
  const auto audio =
      tq::Predicate::comparison("contentType", tq::ComparisonOperator::Equal, "audio/x-long");
  const auto context = store->mainQueueManagedObjectContext();

  const struct {
    const char* reason;
    Search search;
    int firstAudioFile;  // its rank in the list by name
    size_t size;
  } cases[] = {
      {"page 1 of 50", {.page = 1, .count = 50}, 0, 50},
      {"start stands for a page number", {.start = 3, .count = 50}, 100, 50},
      {"the last page is short", {.page = 84, .count = 300}, 24900, 100},
      {"a page past the last shows nothing", {.page = 85, .count = 300}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    Search search = c.search;
    search.query = "contentType:audio*";
    search.sortKey = {{"name", true}};
    const uint64_t madeBefore = context->madeObjectCount();
    testsupport::Latch done;
    Strings names;
    uint64_t made = 0;
    TQLocalSearch::searchAudioFiles(record(search), audio, [&](const auto& items, const auto&) {
      made = context->madeObjectCount() - madeBefore;
      for (const auto& item : items) {
        names.push_back(item->name().value_or("nil"));
      }
      done.countDown();
    });
    ASSERT_TRUE(done.wait());
    EXPECT_EQ(made, c.size);
    ASSERT_EQ(names.size(), c.size);
    for (size_t i = 0; i < names.size(); ++i) {
      ASSERT_EQ(names[i], nameOf((c.firstAudioFile + static_cast<int>(i)) * kAudioEvery));
    }
  }
}

}  // namespace
