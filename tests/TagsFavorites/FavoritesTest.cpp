// Favorites end to end: marking and unmarking, and the listing's fan-out over the virtual folders.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "tests/TagsFavorites/Fixture.h"

namespace {

using tagsfavoritestest::await;
using tagsfavoritestest::awaitResponse;
using Favorites = std::optional<std::vector<std::shared_ptr<TQMetadata>>>;
using FavoritesDelivery = tagsfavoritestest::Delivered<Favorites>;
using Names = std::vector<std::string>;
// Names of favorites per virtual folder, in the order the listing gave them.
using ByFolder = std::map<std::string, Names>;

ByFolder byFolder(const std::vector<std::shared_ptr<TQMetadata>>& favorites) {
  ByFolder result;
  for (const auto& favorite : favorites) {
    const std::string path = favorite->fullPath().value_or("");
    const auto end = path.find('/', 1);
    result[path.substr(1, end == std::string::npos ? end : end - 1)].push_back(
        favorite->name().value_or("(null)"));
  }
  return result;
}

Names names(const std::vector<std::shared_ptr<TQMetadata>>& favorites) {
  Names result;
  for (const auto& favorite : favorites) {
    result.push_back(favorite->name().value_or("(null)"));
  }
  return result;
}

class FavoritesTest : public tagsfavoritestest::TagsFavoritesFixture {
 protected:
  void SetUp() override {
    TagsFavoritesFixture::SetUp();
    // Marked out of the tree's order, in which the stand-in service lists them (by path).
    setFavorites({uri("/Photos/Trip"), uri("/Photos/b.mp4"), uri("/Photos/a.jpg"),
                  uri("/Photos/Trip/c.png"), uri("/My Music/s.mp3"), uri("/My Music/Live"),
                  uri("/Docs/r.pdf")});
    server().clearLog();
  }

  static std::shared_ptr<TQAPIQueryResponse> setFavorites(const std::vector<std::string>& uris) {
    auto params = std::make_shared<TQSetFavoritesAPIParams>();
    params->uri = uris;
    return awaitResponse(
               [&](auto handler) { TQAPISDK::sharedInstance()->setFavorites(params, handler); })
        .response;
  }

  static std::shared_ptr<TQAPIQueryResponse> deleteFavorites(const std::string& uri) {
    auto params = std::make_shared<TQDeleteFavoritesAPIParams>();
    params->uri = uri;
    return awaitResponse(
               [&](auto handler) { TQAPISDK::sharedInstance()->deleteFavorites(params, handler); })
        .response;
  }

  static FavoritesDelivery getFavorites(const std::shared_ptr<TQGetFavoritesAPIParams>& params =
                                            std::make_shared<TQGetFavoritesAPIParams>()) {
    auto delivered = await<Favorites>(
        [&](auto handler) { TQAPISDK::sharedInstance()->getFavorites(params, handler); });
    EXPECT_TRUE(delivered.onMainQueue);
    EXPECT_EQ(delivered.liveCalls, 0U);
    return delivered;
  }

  size_t favoritesRequests() { return server().requests("/cloud/1/favorites").size(); }
};

TEST_F(FavoritesTest, ListsEveryVirtualFoldersFavoritesOfTheKindAsked) {
  const struct {
    int32_t type;
    ByFolder expected;
  } cases[] = {
      {TQFavResourceTypeFileFolder,
       {{"Photos", {"c.png", "a.jpg", "b.mp4", "Trip"}},
        {"My Music", {"s.mp3", "Live"}},
        {"Docs", {"r.pdf"}}}},
      {TQFavResourceTypeFile,
       {{"Photos", {"c.png", "a.jpg", "b.mp4"}}, {"My Music", {"s.mp3"}}, {"Docs", {"r.pdf"}}}},
      {TQFavResourceTypeFolder, {{"Photos", {"Trip"}}, {"My Music", {"Live"}}}},
      {TQFavResourceTypeImage, {{"Photos", {"c.png", "a.jpg"}}}},
      {TQFavResourceTypeMusic, {{"My Music", {"s.mp3"}}}},
      {TQFavResourceTypeVideo, {{"Photos", {"b.mp4"}}}},
      {TQFavResourceTypeDocuments, {{"Docs", {"r.pdf"}}}},
      {7,
       {{"Photos", {"c.png", "a.jpg", "b.mp4", "Trip"}},
        {"My Music", {"s.mp3", "Live"}},
        {"Docs", {"r.pdf"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    auto params = std::make_shared<TQGetFavoritesAPIParams>();
    params->virtualFolder = "Elsewhere";  // each folder's copy names its own folder
    params->favResourceType = static_cast<TQFavResourceType>(c.type);
    const auto delivered = getFavorites(params);
    ASSERT_TRUE(delivered.model.has_value());
    EXPECT_EQ(byFolder(*delivered.model), c.expected) << "files before folders in each folder";
    EXPECT_EQ(delivered.response->statusCode(), 200);
    EXPECT_EQ(params->virtualFolder, "Elsewhere") << "the host's record keeps its own fields";
  }
  EXPECT_EQ(favoritesRequests(), std::size(cases) * 3);
}

TEST_F(FavoritesTest, UnmarkingTakesAResourceOutOfTheListing) {
  EXPECT_EQ(deleteFavorites(uri("/Photos/b.mp4"))->statusCode(), 204);
  EXPECT_EQ(deleteFavorites(uri("/Photos/b.mp4"))->statusCode(), 404) << "handed on as it came";
  EXPECT_EQ(setFavorites({uri("/Docs/Old"), "cloud://file/none"})->statusCode(), 404);

  const auto delivered = getFavorites();
  ASSERT_TRUE(delivered.model.has_value());
  EXPECT_EQ(byFolder(*delivered.model), (ByFolder{{"Photos", {"c.png", "a.jpg", "Trip"}},
                                                  {"My Music", {"s.mp3", "Live"}},
                                                  {"Docs", {"r.pdf"}}}));
}

TEST_F(FavoritesTest, OneFolderOutcomeDecidesTheListingWhateverItsTurn) {
  const ByFolder everything = {{"Photos", {"c.png", "a.jpg", "b.mp4", "Trip"}},
                               {"My Music", {"s.mp3", "Live"}},
                               {"Docs", {"r.pdf"}}};
  const struct {
    int status;
    bool listed;
    std::string body;
    const char* why;
  } cases[] = {
      {404, false, R"({"error": "not found"})", "a failing folder fails the listing"},
      {500, false, "", "a server error likewise"},
      {412, true, R"({"favorites": {"file": [{"name": "z"}]}})",
       "412 is a success whose folder adds nothing"},
      {201, true, R"({"favorites": {"file": [{"name": "z"}]}})", "201 likewise"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    // The scripted answer goes to whichever folder asks first.
    server().scriptOnce("GET", "/cloud/1/favorites", {.status = c.status, .body = c.body});
    const auto delivered = getFavorites();
    EXPECT_EQ(favoritesRequests(), 3U) << "a failing folder does not stop the others";
    ASSERT_EQ(delivered.model.has_value(), c.listed);
    if (!c.listed) {
      EXPECT_EQ(delivered.response->statusCode(), c.status) << "the failure is handed on";
      continue;
    }
    EXPECT_TRUE(TQAPIQueryResponse_Helper::isSuccess(*delivered.response));
    const ByFolder listed = byFolder(*delivered.model);
    EXPECT_EQ(listed.size(), 2U) << "one folder adds nothing";
    for (const auto& [folder, favorites] : listed) {
      EXPECT_EQ(favorites, everything.at(folder));
    }
  }
}

TEST_F(FavoritesTest, TheRootListingDecidesWhichFoldersAreAsked) {
  const struct {
    int status;
    std::optional<int> handedStatus;  // nullopt: no response at all
    bool logged;
    std::string body;
    const char* why;
  } cases[] = {
      {503, 503, false, R"({"error": "busy"})", "a failed root listing ends it"},
      {200, std::nullopt, false, R"({"folder": {"name": "", "folder": []}})",
       "no virtual folder: nil and nil"},
      {200, std::nullopt, false, "<html>busy</html>", "a root listing that is not JSON"},
      {200, 200, true, R"({"folder": {"folder": [{"name": "Photos"}, {"name": ""}]}})",
       "a folder without a name: no folder is asked, and the main queue does not raise"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    server().scriptOnce("GET", "/cloud/1/metadata", {.status = c.status, .body = c.body});
    const size_t logLines = systemLogLines().size();
    const auto delivered = getFavorites();
    EXPECT_FALSE(delivered.model.has_value());
    EXPECT_EQ(delivered.response ? std::optional(delivered.response->statusCode()) : std::nullopt,
              c.handedStatus);
    EXPECT_EQ(favoritesRequests(), 0U);
    EXPECT_EQ(systemLogLines().size() > logLines, c.logged);
  }
}

TEST_F(FavoritesTest, AFoldersAnswerIsReadWhateverItsShape) {
  const struct {
    std::string body;
    Names names;
    const char* why;
  } cases[] = {
      {R"({"favorites": {"folder": [{"name": "F"}], "file": [{"name": "f"}]}})",
       {"f", "F"},
       "files first, whatever the answer's order"},
      {R"({"favorites": {"file": {"name": "one"}, "folder": {"name": "F"}}})",
       {"one", "F"},
       "a single object is a list of one"},
      {R"({"favorites": {"file": [1, "x", null, [], {"name": "ok"}], "folder": "no"}})",
       {"ok"},
       "elements that are not objects, and a member of another type, add nothing"},
      {R"({"favorites": [{"file": [{"name": "x"}]}]})", {}, "favorites that is a list"},
      {"{}", {}, "no favorites member"},
      {"<html>busy</html>", {}, "not JSON"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/metadata",
                        {.body = R"({"folder": {"folder": [{"name": "Photos"}]}})"});
    server().scriptOnce("GET", "/cloud/1/favorites", {.body = c.body});
    const auto delivered = getFavorites();
    ASSERT_TRUE(delivered.model.has_value());
    EXPECT_EQ(names(*delivered.model), c.names);
  }
}

}  // namespace
