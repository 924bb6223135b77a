// The local search and the media lists end to end: a full sync against the stand-in service,
// then the local store's rows, sorted, paged and bound to records.
#include <gtest/gtest.h>

#include <any>
#include <map>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQFile.h"
#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "QuenlarCloudAPI/Model/TQVideo.h"
#include "QuenlarCloudAPI/Platform/NotificationCenter.h"
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

  template <class Item, class Start>
  static std::pair<std::vector<std::shared_ptr<Item>>, std::shared_ptr<TQAPIQueryResponse>>
  mediaList(Start start) {
    testsupport::Latch done;
    std::pair<std::vector<std::shared_ptr<Item>>, std::shared_ptr<TQAPIQueryResponse>> outcome;
    start([&](const std::vector<std::shared_ptr<Item>>& items,
              const std::shared_ptr<TQAPIQueryResponse>& response) {
      outcome = {items, response};
      done.countDown();
    });
    EXPECT_TRUE(done.wait());
    return outcome;
  }

  template <class Item>
  static Strings namesOf(const std::vector<std::shared_ptr<Item>>& items) {
    Strings result;
    for (const auto& item : items) {
      const TQResourceItem& base = *item;
      EXPECT_EQ(typeid(base), typeid(Item)) << "each element is of the list's own class";
      EXPECT_TRUE(item->dbResourceID().has_value());
      result.push_back(item->name().value_or("nil"));
    }
    return result;
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
  std::vector<std::string> messages;  // touched on the main queue only
  auto& center = tq::NotificationCenter::defaultCenter();
  const auto token = center.addObserver(
      TQAPIInfoMessageLogNotification, [&](const tq::Notification& notification) {
        const auto text = std::any_cast<std::string>(notification.object);
        if (text.starts_with("Search")) {
          messages.push_back(text);
        }
      });
  const auto first = search({.query = "contentType:image*"});
  ASSERT_NE(first.response, nullptr);
  EXPECT_EQ(first.response->statusCode(), 200);
  EXPECT_EQ(names(first.identifiers), (Strings{"g.jpg", "b.jpg", "A.png"}));

  const auto unchanged = search({.query = "contentType:image*"});
  ASSERT_NE(unchanged.response, nullptr);
  EXPECT_EQ(unchanged.response->statusCode(), 412) << "nothing changed on the server";
  EXPECT_EQ(names(unchanged.identifiers), names(first.identifiers));

  server().script("GET", "/cloud/1/fullview", {.status = 500, .body = "{}"});
  const auto failed = search({.query = "contentType:image*"});
  ASSERT_NE(failed.response, nullptr);
  EXPECT_EQ(failed.response->statusCode(), 500);
  EXPECT_EQ(failed.identifiers, std::nullopt);
  drainMainQueue();
  center.removeObserver(token);
  EXPECT_EQ(messages, Strings(2, R"(Search predicate :contentType LIKE[cd] "image*")"));
}

TEST_F(LocalSearchTest, ABadRecordRaisesBeforeTheSync) {
  const struct {
    std::shared_ptr<TQSearchAPIParams> params;
    const char* reason;
  } cases[] = {
      {nullptr, "All required parameters missing."},
      {record({.query = ""}), "query <REQUIRED PARAMETER> is missing."},
      {record({.query = "name:a", .page = 3, .start = -1}),
       "Negative start <REQUIRED PARAMETER> is missing."},
      {record({.query = "name:a", .page = 2}),
       "Positive count required <REQUIRED PARAMETER> is missing."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      TQAPISDK::sharedInstance()->search(c.params, nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), c.reason);
    }
  }
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(LocalSearchTest, MediaListsAreTypedAndSortedByName) {
  auto* facade = TQAPISDK::sharedInstance().get();
  const auto photos = mediaList<TQPhoto>(
      [&](auto handler) { facade->getPhotosWithCompletionHandler(std::move(handler)); });
  EXPECT_EQ(namesOf(photos.first), (Strings{"A.png", "b.jpg", "g.jpg"}));
  ASSERT_FALSE(photos.first.empty());
  EXPECT_EQ(photos.first.front()->mimeType(), "image/png") << "read from the bound row";
  EXPECT_EQ(photos.second->statusCode(), 200);

  const auto videos = mediaList<TQVideo>(
      [&](auto handler) { facade->getVideosWithCompletionHandler(std::move(handler)); });
  EXPECT_EQ(namesOf(videos.first), Strings{"c.mp4"});
  const auto audios = mediaList<TQAudio>(
      [&](auto handler) { facade->getAudiosWithCompletionHandler(std::move(handler)); });
  EXPECT_EQ(namesOf(audios.first), Strings{"d.mp3"});
  const auto documents = mediaList<TQFile>(
      [&](auto handler) { facade->getDocumentsWithCompletionHandler(std::move(handler)); });
  EXPECT_EQ(namesOf(documents.first), Strings{"e.pdf"});
  EXPECT_EQ(documents.second->statusCode(), 412) << "the store was already up to date";

  tree().remove("/Media/d.mp3", true);
  const auto none = mediaList<TQAudio>(
      [&](auto handler) { facade->getAudiosWithCompletionHandler(std::move(handler)); });
  EXPECT_TRUE(none.first.empty());

  server().script("GET", "/cloud/1/metadata", {.status = 503, .body = "{}"});
  const auto failed = mediaList<TQPhoto>(
      [&](auto handler) { facade->getPhotosWithCompletionHandler(std::move(handler)); });
  EXPECT_TRUE(failed.first.empty()) << "an empty list, never nil";
  EXPECT_EQ(failed.second->statusCode(), 503);
}

}  // namespace
