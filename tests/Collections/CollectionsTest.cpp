// The media collections end to end: artists, genres and audio albums from a synced store whose
// names are awkward for query text, their file lists, and the photo albums and audio playlists
// read from the service's playlists.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Model/TQArtist.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQGenre.h"
#include "tests/Playlists/PlaylistFixture.h"
#include "tests/Sync/SyncFixture.h"
#include "testserver/PlaylistState.h"

namespace {

using playlisttest::await;
using playlisttest::Names;
using playlisttest::namesOf;
using Albums = std::optional<std::vector<std::shared_ptr<TQAlbum>>>;
using AudioFiles = std::vector<std::shared_ptr<TQAudio>>;

template <class Record>
using Collection = std::vector<std::shared_ptr<Record>>;

// The audio list's files, by name: artist, genre and album (absent when nullptr).
struct Song {
  const char* file;
  const char* artist;
  const char* genre;
  const char* album;
};

const Song kSongs[] = {
    {"a01.mp3", "Live: 1999", "ROCK AND ROLL", "Greatest Hits (Remastered)"},
    {"a02.mp3", "A > B", "Rock and Roll", "greatest hits (remastered)"},
    {"a03.mp3", "Live: 1999", "Café", "Best Of"},
    {"a04.mp3", "*NSYNC", "cafe", ""},
    {"a05.mp3", "NSYNC", "50% Jazz", "Why?"},
    {"a06.mp3", "a_b", "500 Jazz", "Whyx"},
    {"a07.mp3", "axb", nullptr, nullptr},
    {"a08.mp3", nullptr, nullptr, nullptr},
    {"a09.mp3", "(null)", "(null)", "(null)"},
};

class CollectionsTest : public synctest::SyncFixture {
 protected:
  void SetUp() override {
    SyncFixture::SetUp();
    tree().addVirtualFolder("Music");
    for (const Song& song : kSongs) {
      tq::JSON attributes = tq::JSON::object();
      for (const auto& [key, value] :
           {std::pair{"Artist", song.artist}, {"Genre", song.genre}, {"Album", song.album}}) {
        if (value != nullptr) {
          attributes[key] = value;
        }
      }
      tree().addFile(std::string("/Music/") + song.file, {{"systemAttributes", attributes}});
    }
    // Same artist, but no audio: a video, and a file without a MIME type.
    tree().addFile("/Music/v01.mp4", {{"systemAttributes", {{"Artist", "Live: 1999"}}}});
    tree().addFile("/Music/n01.mp3",
                   {{"mimeType", nullptr},
                    {"systemAttributes", {{"Artist", "Live: 1999"}, {"MimeType", nullptr}}}});
    tree().addVirtualFolder("Photos");
    tree().addFile("/Photos/a.jpg");
    playlists().addPlaylist({{"uid", "pl-trip"}, {"name", "Trip"}, {"type", "image"}});
    playlists().addItem("pl-trip", *tree().resourceObject("/Photos/a.jpg"), "bytes");
    playlists().addPlaylist({{"uid", "pl-clips"}, {"name", "Clips"}, {"type", "video"}});
    playlists().addPlaylist({{"uid", "pl-mixed"}, {"name", "Mixed"}, {"type", "image-video"}});
    playlists().addPlaylist({{"uid", "pl-songs"}, {"name", "Songs"}, {"type", "music"}});
  }

  testserver::PlaylistState& playlists() { return server().state<testserver::PlaylistState>(); }

  static TQAPISDK& sdk() { return *TQAPISDK::sharedInstance(); }

  // Runs a collection listing and waits for its one report.
  template <class Record>
  static playlisttest::Report<Collection<Record>> collect(
      void (TQAPISDK::*operation)(TQMediaListCompletionHandler<Record>)) {
    return await<Collection<Record>>([&](auto handler) { (sdk().*operation)(handler); });
  }

  // A record's file list, by name, with each file checked to be bound to its stored row.
  template <class Record>
  static Names filesOf(const Record& record) {
    const auto report = await<AudioFiles>([&](auto handler) {
      record.getFileWithCompletionHandler(
          [handler](const auto& files, const std::shared_ptr<TQAPIQueryResponse>& response) {
            if constexpr (std::is_same_v<Record, TQAlbum>) {
              handler(std::get<AudioFiles>(files), response);
            } else {
              handler(files, response);
            }
          });
    });
    EXPECT_EQ(report.response->statusCode(), 412) << "the store was already in step";
    for (const auto& file : report.model) {
      EXPECT_TRUE(file->dbResourceID().has_value());
    }
    return namesOf(report.model);
  }

  static Names sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
  }
};

template <class Record>
Names recordNames(const Collection<Record>& records) {
  Names names;
  for (const auto& record : records) {
    if constexpr (std::is_same_v<Record, TQAlbum>) {
      EXPECT_EQ(record->UID(), std::nullopt) << "a local album is known by its name alone";
      names.push_back(record->name().value_or("<nil>"));
    } else {
      names.push_back(record->name());
    }
  }
  return names;
}

TEST_F(CollectionsTest, ArtistsGenresAndAlbumsAreTheAudioListsDistinctValues) {
  const auto artists = collect(&TQAPISDK::getArtistsWithCompletionHandler);
  EXPECT_EQ(artists.response->statusCode(), 200) << "the first sync";
  // In the audio list's order; once each; no "(null)", absent or non-audio values.
  EXPECT_EQ(recordNames(artists.model),
            (Names{"Live: 1999", "A > B", "*NSYNC", "NSYNC", "a_b", "axb"}));
  EXPECT_EQ(recordNames(collect(&TQAPISDK::getGenresWithCompletionHandler).model),
            (Names{"ROCK AND ROLL", "Rock and Roll", "Café", "cafe", "50% Jazz", "500 Jazz"}))
      << "values that differ only in case or accents are two";
  EXPECT_EQ(recordNames(collect(&TQAPISDK::getAudioAlbumsWithCompletionHandler).model),
            (Names{"Greatest Hits (Remastered)", "greatest hits (remastered)", "Best Of", "",
                   "Why?", "Whyx"}))
      << "an empty album name is a value of its own";

  server().script("GET", "/cloud/1/metadata", {.status = 503, .body = "{}"});
  const auto failed = collect(&TQAPISDK::getGenresWithCompletionHandler);
  EXPECT_TRUE(failed.model.empty()) << "an empty list, never nil";
  EXPECT_EQ(failed.response->statusCode(), 503);
}

TEST_F(CollectionsTest, FileListsMatchTheNameAsAValue) {
  sync();
  using Make = std::function<Names()>;
  const auto artist = [](const char* name) -> Make {
    return [name] { return filesOf(*TQArtist::initWithValue(name)); };
  };
  const auto genre = [](const char* name) -> Make {
    return [name] { return filesOf(*TQGenre::initWithValue(name)); };
  };
  const auto album = [](const char* name) -> Make {
    return [name] { return filesOf(*TQAlbum::initWithDict({{"name", name}})); };
  };
  const struct {
    const char* reason;
    Make files;
    Names expected;  // by name from Z to A
  } cases[] = {
      {"a colon; neither the video nor the file without MIME type",
       artist("Live: 1999"),
       {"a03.mp3", "a01.mp3"}},
      {"a comparison sign", artist("A > B"), {"a02.mp3"}},
      {"an asterisk is no wildcard", artist("*NSYNC"), {"a04.mp3"}},
      {"an underscore is itself", artist("a_b"), {"a06.mp3"}},
      {"a join word, ignoring case", genre("ROCK AND ROLL"), {"a02.mp3", "a01.mp3"}},
      {"ignoring accents", genre("Café"), {"a04.mp3", "a03.mp3"}},
      {"a percent sign is itself", genre("50% Jazz"), {"a05.mp3"}},
      {"parentheses", album("Greatest Hits (Remastered)"), {"a02.mp3", "a01.mp3"}},
      {"a question mark is no wildcard", album("Why?"), {"a05.mp3"}},
      {"a blank is kept", album("Best Of"), {"a03.mp3"}},
      {"a part of a name", artist("SYNC"), {"a05.mp3", "a04.mp3"}},
      {"no such artist", artist("Nobody"), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(c.files(), c.expected);
  }
}

TEST_F(CollectionsTest, PhotoAlbumsAreOneBatchOfThreeListings) {
  int reports = 0;
  const auto photoAlbums = [&] {
    server().clearLog();
    return await<Albums>([&](auto handler) {
      sdk().getPhotoAlbumsWithCompletionHandler(
          [&reports, handler](const Albums& albums,
                              const std::shared_ptr<TQAPIQueryResponse>& response) {
            ++reports;
            handler(albums, response);
          });
    });
  };
  const auto names = [](const Albums& albums) {
    return albums ? std::optional(sorted(namesOf(*albums))) : std::nullopt;
  };

  const auto all = photoAlbums();
  EXPECT_EQ(names(all.model), sorted({"Clips", "Mixed", "Trip"})) << "no music";
  Names targets;
  for (const auto& request : server().requests("/cloud/1/playlists")) {
    targets.push_back(request.target);
  }
  EXPECT_EQ(sorted(targets),
            sorted({"/cloud/1/playlists?type=image", "/cloud/1/playlists?type=video",
                    "/cloud/1/playlists?type=image-video"}))
      << "the type alone: no sort, no paging";

  playlists().setSingleObjectAnswers(true);
  EXPECT_EQ(names(photoAlbums().model), sorted({"Clips", "Mixed", "Trip"}));
  playlists().setSingleObjectAnswers(false);

  // A server album lists its playlist items; the album is a playlist record's twin.
  ASSERT_TRUE(all.model.has_value());
  const auto trip = *std::find_if(all.model->begin(), all.model->end(),
                                  [](const auto& album) { return album->name() == "Trip"; });
  EXPECT_EQ(trip->UID(), "pl-trip");
  EXPECT_EQ(trip->type(), "image");
  const auto items =
      await<TQAlbumFiles>([&](auto handler) { trip->getFileWithCompletionHandler(handler); });
  const auto* resources =
      std::get_if<std::optional<std::vector<std::shared_ptr<TQResource>>>>(&items.model);
  ASSERT_TRUE(resources != nullptr && resources->has_value());
  EXPECT_EQ(namesOf(**resources), Names{"a.jpg"});

  // One listing fails: nothing but its response, though the others succeeded.
  server().route("GET", "/cloud/1/playlists",
                 [](const httplib::Request& request, httplib::Response& response) {
                   const bool video = request.get_param_value("type") == "video";
                   response.status = video ? 500 : 200;
                   response.set_content(
                       video ? R"({"error": "video"})" : R"({"playlistDefinitions": {}})",
                       "application/json");
                 });
  const auto failed = photoAlbums();
  EXPECT_EQ(failed.model, std::nullopt);
  ASSERT_NE(failed.response, nullptr);
  EXPECT_EQ(failed.response->statusCode(), 500);
  drainMainQueue();
  EXPECT_EQ(reports, 3) << "each batch reports once";
}

TEST_F(CollectionsTest, AudioPlaylistsAreTheMusicListing) {
  using Playlists = std::optional<std::vector<std::shared_ptr<TQPlaylist>>>;
  std::shared_ptr<TQGetPlaylistAPI> call;
  const auto listed = await<Playlists>(
      [&](auto handler) { call = sdk().getAudioPlaylistsWithCompletionHandler(handler); });
  EXPECT_NE(call, nullptr) << "the host may cancel it";
  ASSERT_TRUE(listed.model.has_value());
  EXPECT_EQ(namesOf(*listed.model), Names{"Songs"});
  EXPECT_EQ(server().requests("/cloud/1/playlists").back().target, "/cloud/1/playlists?type=music");

  server().scriptOnce("GET", "/cloud/1/playlists", {.status = 500, .body = "{}"});
  const auto failed = await<Playlists>(
      [&](auto handler) { sdk().getAudioPlaylistsWithCompletionHandler(handler); });
  EXPECT_EQ(failed.model, std::nullopt);
  EXPECT_EQ(failed.response->statusCode(), 500);
}

TEST_F(CollectionsTest, NobodySignedInRaisesBeforeAnythingIsSent) {
  const auto serverAlbum = TQAlbum::initWithDict({{"uid", "pl-trip"}, {"name", "Trip"}});
  const auto localAlbum = TQAlbum::initWithDict({{"name", "Best Of"}});
  const struct {
    const char* operation;
    std::function<void()> start;
  } cases[] = {
      {"photo albums", [] { sdk().getPhotoAlbumsWithCompletionHandler(nullptr); }},
      {"audio playlists", [] { sdk().getAudioPlaylistsWithCompletionHandler(nullptr); }},
      {"artists", [] { sdk().getArtistsWithCompletionHandler(nullptr); }},
      {"a server album's files", [&] { serverAlbum->getFileWithCompletionHandler(nullptr); }},
      {"a local album's files", [&] { localAlbum->getFileWithCompletionHandler(nullptr); }},
      {"a genre's files",
       [] { TQGenre::initWithValue("Café")->getFileWithCompletionHandler(nullptr); }},
  };
  sdk().setAuthenticationCredetials(nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    try {
      c.start();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), "access_token <REQUIRED PARAMETER> is missing.");
    }
  }
  EXPECT_TRUE(server().requests().empty());
}

}  // namespace
