// Favorites end to end: marking and unmarking, and the listing's fan-out over the virtual folders.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
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

// Every favorite the fixture marks, in the stand-in service's order (by path).
ByFolder everything() {
  return {{"Photos", {"c.png", "a.jpg", "b.mp4", "Trip"}},
          {"My Music", {"s.mp3", "Live"}},
          {"Docs", {"r.pdf"}}};
}

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
    // Marked out of the order in which the stand-in service lists them.
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
      {TQFavResourceTypeFileFolder, everything()},
      {TQFavResourceTypeFile,
       {{"Photos", {"c.png", "a.jpg", "b.mp4"}}, {"My Music", {"s.mp3"}}, {"Docs", {"r.pdf"}}}},
      {TQFavResourceTypeFolder, {{"Photos", {"Trip"}}, {"My Music", {"Live"}}}},
      {TQFavResourceTypeImage, {{"Photos", {"c.png", "a.jpg"}}}},
      {TQFavResourceTypeDocuments, {{"Docs", {"r.pdf"}}}},
      {7, everything()},
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

  EXPECT_EQ(deleteFavorites(uri("/Photos/b.mp4"))->statusCode(), 204);
  EXPECT_EQ(deleteFavorites(uri("/Photos/b.mp4"))->statusCode(), 404) << "handed on as it came";
  EXPECT_EQ(setFavorites({uri("/Docs/Old"), "cloud://file/none"})->statusCode(), 404);
  const auto after = getFavorites();
  ASSERT_TRUE(after.model.has_value());
  EXPECT_EQ(byFolder(*after.model), (ByFolder{{"Photos", {"c.png", "a.jpg", "Trip"}},
                                              {"My Music", {"s.mp3", "Live"}},
                                              {"Docs", {"r.pdf"}}}));
}

TEST_F(FavoritesTest, OneFailingFolderFailsTheListingWhateverItsTurn) {
  // The failing answer goes to the folder that asks first; delayed, it is the last to arrive.
  for (const auto delay : {std::chrono::milliseconds(0), std::chrono::milliseconds(300)}) {
    server().clearLog();
    server().scriptOnce("GET", "/cloud/1/favorites", {.status = 404, .delay = delay});
    const auto delivered = getFavorites();
    EXPECT_FALSE(delivered.model.has_value());
    EXPECT_EQ(delivered.response->statusCode(), 404);
    EXPECT_EQ(favoritesRequests(), 3U) << "the other folders are asked all the same";
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
    if (delivered.response) {
      EXPECT_FALSE(TQAPIQueryResponse_Helper::isSuccess(*delivered.response)) << "nothing listed";
    }
  }
}

TEST_F(FavoritesTest, AFoldersAnswerIsReadWhateverItsShape) {
  const struct {
    int status;
    std::string body;
    Names names;
    const char* why;
  } cases[] = {
      {200,
       R"({"favorites": {"folder": [{"name": "F"}], "file": [{"name": "f"}]}})",
       {"f", "F"},
       "files first, whatever the answer's order"},
      {200,
       R"({"favorites": {"file": {"name": "one"}, "folder": {"name": "F"}}})",
       {"one", "F"},
       "a single object is a list of one"},
      {200,
       R"({"favorites": {"file": [1, "x", null, [], {"name": "ok"}], "folder": "no"}})",
       {"ok"},
       "elements that are not objects, and a member of another type, add nothing"},
      {200, R"({"favorites": [{"file": [{"name": "x"}]}]})", {}, "favorites that is a list"},
      {200, "{}", {}, "no favorites member"},
      {200, "<html>busy</html>", {}, "not JSON"},
      {412, R"({"favorites": {"file": [{"name": "x"}]}})", {}, "412: a success that adds nothing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("GET", "/cloud/1/metadata",
                        {.body = R"({"folder": {"folder": [{"name": "Photos"}]}})"});
    server().scriptOnce("GET", "/cloud/1/favorites", {.status = c.status, .body = c.body});
    const auto delivered = getFavorites();
    EXPECT_EQ(delivered.response->statusCode(), c.status);
    ASSERT_TRUE(delivered.model.has_value());
    EXPECT_EQ(names(*delivered.model), c.names);
  }
}

}  // namespace
