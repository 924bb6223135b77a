// The playlist calls' record checks and the requests they send, as the service receives them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQAddPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQCreateplaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQDeletePlaylistItemAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQEditPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistContentAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistDefinitionAPIParams.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "tests/Playlists/PlaylistFixture.h"

namespace {

using playlisttest::await;
using playlisttest::awaitResponse;
using playlisttest::Items;
using playlisttest::Playlists;

template <class Record>
std::shared_ptr<Record> make(const std::function<void(Record&)>& fill) {
  auto record = std::make_shared<Record>();
  record->accessToken = "token";
  fill(*record);
  return record;
}

std::optional<std::string> rejection(const TQResourceAPIParams& record) {
  try {
    record.validateParameters();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

class PlaylistRequestTest : public playlisttest::PlaylistFixture {};

TEST_F(PlaylistRequestTest, ChecksRunInOrderAndTheFirstFailureNamesItself) {
  using List = TQGetPlaylistAPIParams;
  using ItemList = TQGetPlaylistItemsAPIParams;
  const struct {
    std::shared_ptr<TQResourceAPIParams> record;
    std::optional<std::string> reason;
    const char* why;
  } cases[] = {
      {make<List>([](List& r) { r.accessToken.clear(); }), missing("access_token"), "no token"},
      {make<List>([](List& r) { r.page = r.start = r.count = -1; }), missing("Negative page"),
       "page first"},
      {make<List>([](List& r) { r.start = r.count = -1; }), missing("Negative start"),
       "start before count"},
      {make<List>([](List& r) { r.page = 3, r.count = -1; }), missing("Negative count"),
       "a negative count before a missing one"},
      {make<List>([](List& r) { r.page = 3; }), missing("Positive count required"), "page 3"},
      {make<List>([](List& r) { r.start = 2; }), missing("Positive count required"), "start 2"},
      {make<List>([](List& r) { r.page = 1; }), std::nullopt, "the first page needs no count"},
      {make<ItemList>([](ItemList& r) { r.page = -1; }), missing("playlistUid"), "the UID first"},
      {make<ItemList>([](ItemList& r) { r.playlistUID = "p", r.page = -1; }),
       missing("Negative page"), "items: negative page"},
      {make<ItemList>([](ItemList& r) { r.playlistUID = "p", r.start = -1; }),
       missing("Negative start"), "items: negative start"},
      {make<TQCreateplaylistAPIParams>([](auto&) {}), missing("name"), "name before type"},
      {make<TQCreateplaylistAPIParams>([](auto& r) { r.name = "n"; }), missing("type"), "type"},
      {make<TQCreateplaylistAPIParams>([](auto& r) { r.name = "n", r.type = "t"; }), std::nullopt,
       "a creation needs no paths"},
      {make<TQEditPlaylistAPIParams>([](auto&) {}), missing("playlistUid"),
       "the UID before name and type"},
      {make<TQEditPlaylistAPIParams>([](auto& r) { r.playlistUID = "p", r.type = "t"; }),
       missing("name"), "edit: name"},
      {make<TQEditPlaylistDefinitionAPIParams>([](auto& r) { r.playlistUID = "p", r.name = "n"; }),
       missing("type"), "definition: type"},
      {make<TQEditPlaylistDefinitionAPIParams>(
           [](auto& r) { r.playlistUID = "p", r.name = "n", r.type = "t"; }),
       std::nullopt, "a definition needs no paths"},
      {make<TQAddPlaylistItemsAPIParams>([](auto& r) { r.playlistUID = "p"; }), missing("paths"),
       "an addition needs paths"},
      {make<TQDeletePlaylistAPIParams>([](auto&) {}), missing("playlistUid"), "delete"},
      {make<TQGetPlaylistDefinitionAPIParams>([](auto&) {}), missing("playlistUid"), "read"},
      {make<TQDeletePlaylistItemAPIParams>([](auto& r) { r.playlistUID = "p"; }),
       missing("itemUid"), "an item needs its UID"},
      {make<TQGetPlaylistContentAPIParams>([](auto& r) { r.playlistUID = "p"; }),
       missing("itemUid"), "content needs the item UID"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(rejection(*c.record), c.reason);
  }
}

TEST_F(PlaylistRequestTest, KeysAndMessagesPassThroughTheHostsStringTable) {
  writeMainBundleStrings({{"playlistUid", "Wiedergabeliste"}, {"Negative page", "Seite < 0"}});
  EXPECT_EQ(rejection(*make<TQDeletePlaylistAPIParams>([](auto&) {})), missing("Wiedergabeliste"));
  EXPECT_EQ(rejection(*make<TQGetPlaylistAPIParams>([](auto& r) { r.page = -1; })),
            missing("Seite < 0"));
}

TEST_F(PlaylistRequestTest, ABadRecordRaisesOutOfTheFacadeWithNothingSent) {
  bool reported = false;
  const auto handler = [&](const Items&, const auto&) { reported = true; };
  EXPECT_THROW(sdk()->getPlaylistItems(nullptr, handler), TQException);
  EXPECT_THROW(sdk()->getPlaylistItems(std::make_shared<TQGetPlaylistItemsAPIParams>(), handler),
               TQException);
  drainMainQueue();
  EXPECT_FALSE(reported);
  EXPECT_EQ(sdk()->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

// What an operation reported: its outcome, and whether it built a model.
struct Ran {
  std::shared_ptr<TQAPIQueryResponse> response;
  bool model = false;
};

bool present(const std::shared_ptr<TQPlaylist>& model) { return model != nullptr; }
template <class List>
bool present(const std::optional<List>& model) {
  return model.has_value();
}

template <class Model, class Start>
Ran ran(Start start) {
  const auto report = await<Model>(start);
  return {report.response, present(report.model)};
}

template <class Start>
Ran ranAlone(Start start) {
  return {awaitResponse(start), false};
}

// Each operation as the service receives it, and the status its model is built for.
TEST_F(PlaylistRequestTest, RequestsOfTheTenOperations) {
  using Playlist = std::shared_ptr<TQPlaylist>;
  const auto listing = make<TQGetPlaylistAPIParams>(
      [](auto& r) { r.type = "image", r.sort = "name+asc", r.page = 1, r.count = 10; });
  const auto definition =
      make<TQGetPlaylistDefinitionAPIParams>([](auto& r) { r.playlistUID = "pl-1"; });
  const auto creation =
      make<TQCreateplaylistAPIParams>([](auto& r) { r.name = "Songs", r.type = "music"; });
  const auto creationWithPaths = make<TQCreateplaylistAPIParams>(
      [](auto& r) { r.name = "Pics", r.type = "image", r.paths = {"/Photos/b.jpg"}; });
  const auto edit = make<TQEditPlaylistAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.name = "Trip 2", r.type = "video"; });
  const auto items = make<TQGetPlaylistItemsAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.sort = "name+desc", r.start = 1, r.count = 5; });
  const auto addition = make<TQAddPlaylistItemsAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.paths = {"/Photos/b.jpg"}; });
  const auto content = make<TQGetPlaylistContentAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.itemUID = "it-1"; });
  const auto itemRemoval = make<TQDeletePlaylistItemAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.itemUID = "it-1"; });
  const auto redefinition = make<TQEditPlaylistDefinitionAPIParams>(
      [](auto& r) { r.playlistUID = "pl-1", r.name = "Trip", r.type = "image"; });
  const auto redefinitionWithPaths = make<TQEditPlaylistDefinitionAPIParams>([](auto& r) {
    r.playlistUID = "pl-1", r.name = "Trip", r.type = "image", r.paths = {"/Photos/a.jpg"};
  });
  const auto removal = make<TQDeletePlaylistAPIParams>([](auto& r) { r.playlistUID = "pl-1"; });
  const struct {
    std::function<Ran()> run;
    const char* method;
    const char* target;
    const char* body;
    int status;
    bool model;
  } cases[] = {
      {[&] { return ran<Playlists>([&](auto h) { sdk()->getPlaylist(listing, h); }); }, "GET",
       "/cloud/1/playlists?type=image&sort=name+asc&page=1&count=10", "", 200, true},
      {[&] { return ran<Playlist>([&](auto h) { sdk()->getPlaylistDefinition(definition, h); }); },
       "GET", "/cloud/1/playlists/pl-1", "", 200, true},
      {[&] { return ran<Playlist>([&](auto h) { sdk()->createPlaylist(creation, h); }); }, "POST",
       "/cloud/1/playlists", R"({"name":"Songs","type":"music"})", 201, true},
      {[&] { return ran<Playlist>([&](auto h) { sdk()->createPlaylist(creationWithPaths, h); }); },
       "POST", "/cloud/1/playlists", R"({"name":"Pics","type":"image","paths":["/Photos/b.jpg"]})",
       201, true},
      {[&] { return ran<Playlist>([&](auto h) { sdk()->editPlaylist(edit, h); }); }, "PUT",
       "/cloud/1/playlists/pl-1", R"({"name":"Trip 2","type":"video"})", 200, true},
      {[&] { return ran<Items>([&](auto h) { sdk()->getPlaylistItems(items, h); }); }, "GET",
       "/cloud/1/playlists/pl-1/items?sort=name+desc&start=1&count=5", "", 200, true},
      {[&] { return ran<Items>([&](auto h) { sdk()->addPlaylistItems(addition, h); }); }, "POST",
       "/cloud/1/playlists/pl-1/items", R"({"add":["/Photos/b.jpg"]})", 200, true},
      {[&] { return ranAlone([&](auto h) { sdk()->getPlaylistContent(content, h); }); }, "GET",
       "/cloud/1/playlists/pl-1/items/it-1", "", 200, false},
      {[&] { return ranAlone([&](auto h) { sdk()->deletePlaylistItem(itemRemoval, h); }); },
       "DELETE", "/cloud/1/playlists/pl-1/items/it-1", "", 204, false},
      {[&] {
         return ran<Playlist>([&](auto h) { sdk()->editPlaylistDefinition(redefinition, h); });
       },
       "PUT", "/cloud/1/playlists/pl-1/items", R"({"name":"Trip","type":"image"})", 200, true},
      {[&] {
         return ran<Playlist>(
             [&](auto h) { sdk()->editPlaylistDefinition(redefinitionWithPaths, h); });
       },
       "PUT", "/cloud/1/playlists/pl-1/items",
       R"({"name":"Trip","paths":["/Photos/a.jpg"],"type":"image"})", 200, true},
      {[&] { return ranAlone([&](auto h) { sdk()->deletePlaylist(removal, h); }); }, "DELETE",
       "/cloud/1/playlists/pl-1", "", 204, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.target);
    server().clearLog();
    const Ran ran = c.run();
    EXPECT_EQ(ran.response->statusCode(), c.status);
    EXPECT_EQ(ran.model, c.model);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, c.method);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    EXPECT_EQ(requests[0].header("Content-Type"),
              *c.body != '\0' ? std::optional<std::string>("application/json") : std::nullopt);
  }
  EXPECT_FALSE(state().definition("pl-1")) << "the last row deleted the playlist";
}

TEST_F(PlaylistRequestTest, ListingQueries) {
  using List = TQGetPlaylistAPIParams;
  const struct {
    std::shared_ptr<TQResourceAPIParams> record;
    std::string url;
    const char* why;
  } cases[] = {
      {make<List>([](List&) {}), "/cloud/1/playlists", "nothing set: the bare path"},
      {make<List>([](List& r) { r.page = 2, r.start = 5, r.count = 3; }),
       "/cloud/1/playlists?page=2&count=3", "a page wins over start"},
      {make<List>([](List& r) { r.start = 5, r.count = 3; }), "/cloud/1/playlists?start=5&count=3",
       "start without a page"},
      {make<List>([](List& r) { r.page = 1; }), "/cloud/1/playlists?page=1", "the page alone"},
      {make<List>([](List& r) { r.type = "a&b=c #d"; }), "/cloud/1/playlists?type=a%26b=c%20%23d",
       "a type can end neither its pair nor the query"},
      {make<List>([](List& r) { r.sort = "Name+desc"; }), "/cloud/1/playlists?sort=Name+desc",
       "the + of a sort string stays"},
      {make<List>([](List& r) { r.type = "Фото\t"; }),
       "/cloud/1/playlists?type=%D0%A4%D0%BE%D1%82%D0%BE%09", "non-ASCII and controls"},
      {make<TQGetPlaylistItemsAPIParams>(
           [](auto& r) { r.playlistUID = "p", r.sort = "size+asc&x=1", r.page = 2, r.count = 4; }),
       "/cloud/1/playlists/p/items?sort=size+asc%26x=1&page=2&count=4", "items: sort and page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    std::shared_ptr<TQAPI> call;
    if (std::dynamic_pointer_cast<TQGetPlaylistItemsAPIParams>(c.record)) {
      call = TQAPI::initWithParameters<TQGetPlaylistItemsAPI>(c.record);
    } else {
      call = TQAPI::initWithParameters<TQGetPlaylistAPI>(c.record);
    }
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.url);
  }
}

// A UID the host gives stays one path segment where it is put: removing an item never reaches
// the playlist or another resource.
TEST_F(PlaylistRequestTest, IdentifiersStayWhereTheyArePut) {
  const struct {
    std::string playlistUID;
    std::string itemUID;
    std::string target;
    const char* why;
  } cases[] = {
      {"pl-1", "..", "/cloud/1/playlists/pl-1/items/%2E%2E", "'..' would delete the playlist"},
      {"pl-1", ".", "/cloud/1/playlists/pl-1/items/%2E", "'.' would name the item list"},
      {"..", "x", "/cloud/1/playlists/%2E%2E/items/x", "a dot segment as the playlist"},
      {"pl-1", "a b?c#d", "/cloud/1/playlists/pl-1/items/a%20b%3Fc%23d",
       "blank, ? and # stay in the segment"},
      {"pl-1", "Ünï", "/cloud/1/playlists/pl-1/items/%C3%9Cn%C3%AF", "non-ASCII"},
      {"pl-1", "a/b", "/cloud/1/playlists/pl-1/items/a/b", "a slash the host wrote stays"},
      {"pl-1", "50%25", "/cloud/1/playlists/pl-1/items/50%25", "so does a percent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    awaitResponse([&](auto handler) {
      sdk()->deletePlaylistItem(make<TQDeletePlaylistItemAPIParams>([&](auto& r) {
                                  r.playlistUID = c.playlistUID, r.itemUID = c.itemUID;
                                }),
                                handler);
    });
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_TRUE(state().definition("pl-1"));
    EXPECT_TRUE(state().content("pl-1", "it-1"));
  }
}

}  // namespace
