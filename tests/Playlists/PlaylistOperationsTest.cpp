// The playlist operations end to end: records read from the service's answers, odd answer shapes,
// statuses, content downloads and a playlist's own item listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQCreateplaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"
#include "tests/Playlists/PlaylistFixture.h"

namespace {

namespace fs = std::filesystem;
using playlisttest::await;
using playlisttest::awaitResponse;
using playlisttest::Items;
using playlisttest::Names;
using playlisttest::namesOf;
using playlisttest::Playlists;

// The names of a list that may be nil.
template <class Record>
std::optional<Names> namesIn(const std::optional<std::vector<std::shared_ptr<Record>>>& list) {
  return list ? std::optional(namesOf(*list)) : std::nullopt;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PlaylistOperationsTest : public playlisttest::PlaylistFixture {
 protected:
  static Playlists listPlaylists(const std::string& type = "") {
    auto params = std::make_shared<TQGetPlaylistAPIParams>();
    params->type = type;
    return await<Playlists>([&](auto handler) { sdk()->getPlaylist(params, handler); }).model;
  }

  static playlisttest::Report<Items> listItems(const std::string& playlistUID) {
    auto params = std::make_shared<TQGetPlaylistItemsAPIParams>();
    params->playlistUID = playlistUID;
    return await<Items>([&](auto handler) { sdk()->getPlaylistItems(params, handler); });
  }

  static std::shared_ptr<TQPlaylist> readDefinition(const std::string& playlistUID) {
    auto params = std::make_shared<TQGetPlaylistDefinitionAPIParams>();
    params->playlistUID = playlistUID;
    return await<std::shared_ptr<TQPlaylist>>(
               [&](auto handler) { sdk()->getPlaylistDefinition(params, handler); })
        .model;
  }
};

TEST_F(PlaylistOperationsTest, PlaylistRecordFromADefinition) {
  const auto full = TQPlaylist::initWithDictionary(tq::JSON::parse(
      R"({"uid": "p", "name": "N", "type": "music", "mimeTypeRegex": "audio/.*",
          "paths": ["/a", 3, "/b"], "uri": "cloud://p"})"));
  EXPECT_EQ(full->UID(), "p");
  EXPECT_EQ(full->type(), "music");
  EXPECT_EQ(full->mimeTypeRegx(), "audio/.*");
  EXPECT_EQ(full->paths(), (std::vector<std::string>{"/a", "/b"})) << "text paths only";
  EXPECT_EQ(full->uri(), "cloud://p");
  EXPECT_FALSE(full->creationDate());
  EXPECT_FALSE(full->lastModifiedDate());

  const struct {
    const char* definition;
    std::optional<std::string> name;
    std::optional<std::string> uid;
  } cases[] = {
      {R"({"name": 12, "uid": 42})", "12", "42"},
      {R"({"name": null, "uid": true})", std::nullopt, std::nullopt},
      {R"({"uid": ["x"]})", "(null)", std::nullopt},
      {R"("not an object")", "(null)", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.definition);
    const auto playlist = TQPlaylist::initWithDictionary(tq::JSON::parse(c.definition));
    EXPECT_EQ(playlist->name(), c.name);
    EXPECT_EQ(playlist->UID(), c.uid);
  }
}

TEST_F(PlaylistOperationsTest, OperationsReadAndChangeTheServiceState) {
  state().addPlaylist({{"uid", "pl-2"}, {"name", "Songs"}, {"type", "music"}});
  EXPECT_EQ(namesIn(listPlaylists()), (Names{"Trip", "Songs"}));
  EXPECT_EQ(namesIn(listPlaylists("music")), (Names{"Songs"}));

  auto create = std::make_shared<TQCreateplaylistAPIParams>();
  create->name = "Both";
  create->type = "image";
  create->paths = {"/Photos/a.jpg", "/Photos/b.jpg"};
  const auto created = await<std::shared_ptr<TQPlaylist>>(
      [&](auto handler) { sdk()->createPlaylist(create, handler); });
  ASSERT_NE(created.model, nullptr);
  EXPECT_EQ(created.model->paths(), create->paths);
  EXPECT_EQ(readDefinition(created.model->UID().value_or(""))->name(), "Both");

  auto add = std::make_shared<TQAddPlaylistItemsAPIParams>();
  add->playlistUID = "pl-1";
  add->paths = {"/Photos/b.jpg"};
  const auto added = await<Items>([&](auto handler) { sdk()->addPlaylistItems(add, handler); });
  EXPECT_EQ(namesIn(added.model), (Names{"b.jpg"}));
  EXPECT_EQ(namesIn(listItems("pl-1").model), (Names{"a.jpg", "b.jpg"}));
}

TEST_F(PlaylistOperationsTest, ListsInAnyShapeTheServiceSends) {
  const auto playlists = [](const char* list) {
    return std::string(R"({"playlistDefinitions": {"playlistDefinition": )") + list + "}}";
  };
  const auto elements = [](const char* list) {
    return std::string(R"({"playlist": {"playlistElement": )") + list + "}}";
  };
  const struct {
    const char* path;
    std::string body;
    Names names;
    const char* why;
  } cases[] = {
      {"/cloud/1/playlists", playlists(R"({"name": "One"})"), {"One"}, "a single object"},
      {"/cloud/1/playlists",
       playlists(R"([1, "x", null, [], {"name": "A"}, {}])"),
       {"A", "(null)"},
       "elements that are not objects are skipped"},
      {"/cloud/1/playlists", playlists("null"), {}, "a null list"},
      {"/cloud/1/playlists", R"({"playlistDefinitions": [{"name": "A"}]})", {}, "a misplaced list"},
      {"/cloud/1/playlists", "{}", {}, "no member: an empty list, not nil"},
      {"/cloud/1/playlists", "<html>busy</html>", {}, "not JSON"},
      {"/cloud/1/playlists/pl-1/items",
       elements(R"({"name": "a.jpg"})"),
       {"a.jpg"},
       "a single element"},
      {"/cloud/1/playlists/pl-1/items",
       elements(R"(["a.jpg", {"name": "b.jpg"}])"),
       {"b.jpg"},
       "an element that is text"},
      {"/cloud/1/playlists/pl-1/items", R"({"playlist": []})", {}, "a list where the object goes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", c.path, {.body = c.body});
    const bool playlistListing = std::string(c.path) == "/cloud/1/playlists";
    EXPECT_EQ(playlistListing ? namesIn(listPlaylists()) : namesIn(listItems("pl-1").model),
              c.names);
  }

  const struct {
    std::string body;
    Names names;
  } additions[] = {
      {R"({"paths": {"name": "one"}})", {"one"}},
      {R"({"paths": ["/x", {"name": "b"}, 7]})", {"b"}},
      {R"({"paths": "/x"})", {}},
      {"{}", {}},
  };
  auto add = std::make_shared<TQAddPlaylistItemsAPIParams>();
  add->playlistUID = "pl-1";
  add->paths = {"/Photos/b.jpg"};
  for (const auto& c : additions) {
    SCOPED_TRACE(c.body);
    server().scriptOnce("POST", "/cloud/1/playlists/pl-1/items", {.body = c.body});
    const auto added = await<Items>([&](auto handler) { sdk()->addPlaylistItems(add, handler); });
    EXPECT_EQ(namesIn(added.model), c.names);
  }

  state().setSingleObjectAnswers(true);
  EXPECT_EQ(namesIn(listPlaylists()), (Names{"Trip"})) << "the service's own single object";
  EXPECT_EQ(namesIn(listItems("pl-1").model), (Names{"a.jpg"}));
}

TEST_F(PlaylistOperationsTest, OnlyTheExpectedStatusBuildsRecords) {
  const std::string definition = R"({"playlistDefinition": {"uid": "x", "name": "X"}})";
  auto create = std::make_shared<TQCreateplaylistAPIParams>();
  create->name = "X";
  create->type = "image";
  const struct {
    int status;
    const char* body;
    bool built;
  } creations[] = {
      {201, definition.c_str(), true},
      {200, definition.c_str(), false},
      {500, definition.c_str(), false},
  };
  for (const auto& c : creations) {
    SCOPED_TRACE(c.status);
    server().scriptOnce("POST", "/cloud/1/playlists", {.status = c.status, .body = c.body});
    const auto created = await<std::shared_ptr<TQPlaylist>>(
        [&](auto handler) { sdk()->createPlaylist(create, handler); });
    EXPECT_EQ(created.model != nullptr, c.built);
    EXPECT_EQ(created.response->statusCode(), c.status);
  }

  server().scriptOnce("GET", "/cloud/1/playlists", {.status = 500, .body = "{}"});
  EXPECT_FALSE(listPlaylists()) << "nil, not an empty list";
  EXPECT_FALSE(listItems("nowhere").model) << "404";
  EXPECT_EQ(readDefinition("nowhere"), nullptr);

  server().scriptOnce("GET", "/cloud/1/playlists/pl-1", {.body = "not JSON"});
  const auto bare = readDefinition("pl-1");
  ASSERT_NE(bare, nullptr) << "the status said it succeeded";
  EXPECT_EQ(bare->name(), "(null)");
  EXPECT_FALSE(bare->UID());

  server().scriptOnce("DELETE", "/cloud/1/playlists/pl-1", {.status = 500, .body = "{}"});
  auto remove = std::make_shared<TQDeletePlaylistAPIParams>();
  remove->playlistUID = "pl-1";
  const auto removed = awaitResponse([&](auto handler) { sdk()->deletePlaylist(remove, handler); });
  EXPECT_EQ(removed->statusCode(), 500) << "a deletion hears whatever the status";
}

// The content goes to a file in Documents named after the item; a UID that names no usable file
// never reaches a directory, and only a regular file is replaced.
TEST_F(PlaylistOperationsTest, ContentDownloadFiles) {
  for (const char* uid : {"..", ".", "dir-item", "old-item"}) {
    state().addItem("pl-1", {{"name", uid}, {"itemuid", uid}}, std::string("bytes of ") + uid);
  }
  fs::create_directories(documentsDirectory() / "dir-item");
  std::ofstream(documentsDirectory() / "dir-item" / "inside") << "keep";
  std::ofstream(documentsDirectory() / "old-item") << "old";
  const struct {
    const char* itemUID;
    std::optional<std::string> file;
    std::string content;
    int status;
    const char* why;
  } cases[] = {
      {"it-1", "it-1", "bytes of a", 200, "named after the item"},
      {"..", "download", "bytes of ..", 200, "'..' would be the parent directory"},
      {".", "download", "bytes of .", 200, "'.' would be Documents itself"},
      {"old-item", "old-item", "bytes of old-item", 200, "a regular file is replaced"},
      {"dir-item", std::nullopt, "", 200, "a directory is never replaced"},
      {"missing", "missing", R"("what":"pl-1/missing")", 404, "an error body is the file too"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    auto params = std::make_shared<TQGetPlaylistContentAPIParams>();
    params->playlistUID = "pl-1";
    params->itemUID = c.itemUID;
    std::optional<fs::path> file;
    std::string content;
    std::weak_ptr<TQGetPlaylistContentAPI> call;
    const auto response = awaitResponse([&](auto handler) {
      call = sdk()->getPlaylistContent(params, [&, handler](const auto& outcome) {
        // The file goes with the call once the handler has returned.
        if (outcome->downloadedURL()) {
          file = outcome->downloadedURL()->path();
          content = readFile(*file);
        }
        handler(outcome);
      });
    });
    EXPECT_EQ(response->statusCode(), c.status);
    EXPECT_EQ(file, c.file ? std::optional(documentsDirectory() / *c.file) : std::nullopt);
    EXPECT_NE(content.find(c.content), std::string::npos) << content;
    EXPECT_EQ(response->error().has_value(), !c.file);
    // Until the call is gone its file keeps its name claimed, and the next row may share it.
    EXPECT_TRUE(testsupport::eventually([&] { return call.expired(); }));
  }
  EXPECT_EQ(readFile(documentsDirectory() / "dir-item" / "inside"), "keep");
  EXPECT_TRUE(fs::exists(root() / "Keychain")) << "nothing above Documents was replaced";
}

TEST_F(PlaylistOperationsTest, APlaylistListsItsOwnItems) {
  const auto playlist = readDefinition("pl-1");
  ASSERT_NE(playlist, nullptr);
  const auto report = await<Items>([&](auto handler) {
    playlist->getFileWithCompletionHandler([handler](const Items& items, const auto& response) {
      EXPECT_TRUE(tq::mainQueue().isCurrent());
      handler(items, response);
    });
  });
  EXPECT_EQ(namesIn(report.model), (Names{"a.jpg"}));
  EXPECT_EQ(report.response->statusCode(), 200);
  EXPECT_EQ(server().requests().back().target, "/cloud/1/playlists/pl-1/items");

  const auto noUID = TQPlaylist::initWithDictionary({{"name", "local"}});
  try {
    noUID->getFileWithCompletionHandler([](const auto&, const auto&) {});
    ADD_FAILURE() << "no exception";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), "playlistUid <REQUIRED PARAMETER> is missing.");
  }
}

TEST_F(PlaylistOperationsTest, ListingsInABatchReadAsTheSingleListing) {
  state().addPlaylist({{"uid", "pl-2"}, {"name", "Clips"}, {"type", "video"}});
  std::vector<std::shared_ptr<TQGetPlaylistAPIParams>> records;
  for (const char* type : {"image", "video", "music"}) {
    records.push_back(std::make_shared<TQGetPlaylistAPIParams>());
    records.back()->type = type;
  }
  struct Shared {
    testsupport::Latch done;
    TQAPIBatchOutcome<std::shared_ptr<TQAlbum>> outcome;
  };
  auto shared = std::make_shared<Shared>();
  sdk()->startBatchWithParameters<TQGetPlaylistAPI>(records, [shared](auto outcome) {
    shared->outcome = std::move(outcome);
    shared->done.countDown();
  });
  ASSERT_TRUE(shared->done.wait());
  const auto& outcome = shared->outcome;
  EXPECT_EQ(outcome.responseArray.size(), 3U);
  Names names = namesOf(outcome.resultArray);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{"Clips", "Trip"}));
}

}  // namespace
