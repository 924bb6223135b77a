// Tags end to end: the facade, the calls and the stand-in service's tree, where the tags live.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPIParams.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Model/TQTags.h"
#include "tests/TagsFavorites/Fixture.h"

namespace {

using tagsfavoritestest::await;
using tagsfavoritestest::awaitResponse;
using tagsfavoritestest::Delivered;
using TagsDelivery = Delivered<std::shared_ptr<TQTags>>;

class TagsTest : public tagsfavoritestest::TagsFavoritesFixture {
 protected:
  static TagsDelivery getTags(const std::string& path) {
    auto params = std::make_shared<TQGetTagsAPIParams>();
    params->path = path;
    return await<std::shared_ptr<TQTags>>(
        [&](auto handler) { TQAPISDK::sharedInstance()->getTags(params, handler); });
  }

  static TagsDelivery setTags(const std::string& uri, const std::string& tags) {
    auto params = std::make_shared<TQSetTagsAPIParams>();
    params->uri = uri;
    params->tags = tags;
    return await<std::shared_ptr<TQTags>>(
        [&](auto handler) { TQAPISDK::sharedInstance()->setTags(params, handler); });
  }

  static std::shared_ptr<TQAPIQueryResponse> deleteTags(const std::string& uri) {
    auto params = std::make_shared<TQDeleteTagsAPIParams>();
    params->uri = uri;
    const auto delivered = awaitResponse(
        [&](auto handler) { TQAPISDK::sharedInstance()->deleteTags(params, handler); });
    EXPECT_TRUE(delivered.onMainQueue);
    EXPECT_EQ(delivered.liveCalls, 0U);
    return delivered.response;
  }

  // The tags the metadata listing of `folder` shows on its file `name`.
  static std::optional<std::string> listedTags(const std::string& folder, const std::string& name) {
    auto params = std::make_shared<TQMetaDataAPIParams>();
    params->path = folder;
    const auto listing = await<std::shared_ptr<TQMetadata>>(
        [&](auto handler) { TQAPISDK::sharedInstance()->fetchMetadata(params, handler); });
    if (!listing.model) {
      ADD_FAILURE() << "no listing of " << folder;
      return std::nullopt;
    }
    for (const auto& file : listing.model->subFiles()) {
      if (file->name() == name) {
        return file->tags();
      }
    }
    ADD_FAILURE() << "no " << name << " in " << folder;
    return std::nullopt;
  }
};

TEST_F(TagsTest, SetReadAndRemoveTags) {
  const auto set = setTags(uri("/Photos/a.jpg"), "beach,2024");
  ASSERT_NE(set.model, nullptr);
  EXPECT_EQ(set.model->tags(), "beach,2024") << "the text goes through unchanged";
  EXPECT_EQ(set.response->statusCode(), 200);
  EXPECT_TRUE(set.onMainQueue);
  EXPECT_EQ(set.liveCalls, 0U) << "the call leaves the list before the host hears of it";

  const auto read = getTags("/Photos/a.jpg");
  ASSERT_NE(read.model, nullptr);
  EXPECT_EQ(read.model->tags(), "beach,2024");
  EXPECT_EQ(listedTags("/Photos", "a.jpg"), "beach,2024") << "a later listing sees them";

  EXPECT_EQ(deleteTags(uri("/Photos/a.jpg"))->statusCode(), 204);
  const auto emptied = getTags("/Photos/a.jpg");
  ASSERT_NE(emptied.model, nullptr);
  EXPECT_EQ(emptied.model->tags(), "");

  const auto missing = getTags("/Photos/none.jpg");
  EXPECT_EQ(missing.model, nullptr);
  EXPECT_EQ(missing.response->statusCode(), 404);
  EXPECT_EQ(deleteTags("cloud://file/none")->statusCode(), 404) << "handed on as it came";
}

TEST_F(TagsTest, NamesWithQueryCharactersReachTheirOwnItem) {
  const auto right = getTags("/Photos/x?y#z.jpg");
  ASSERT_NE(right.model, nullptr);
  EXPECT_EQ(right.model->tags(), "right") << "not the tags of /Photos/x";
  const auto blank = getTags("/Photos/a b.jpg");
  ASSERT_NE(blank.model, nullptr);
  EXPECT_EQ(blank.model->tags(), "blank");
}

TEST_F(TagsTest, TheAnswerIsReadOnlyForTwoHundredAndThenAlwaysGivesARecord) {
  const struct {
    bool setting;
    bool record;
    int status;
    std::string body;
    std::optional<std::string> tags;
    const char* why;
  } cases[] = {
      {false, true, 200, R"({"Tags": "a, b"})", "a, b", "text as it is"},
      {false, true, 200, R"({"Tags": 42})", "42", "a number in decimal"},
      {false, true, 200, R"({"Tags": ["a", "b"]})", R"(["a","b"])", "a list as compact JSON"},
      {false, true, 200, R"({"Tags": null})", std::nullopt, "null is no tags"},
      {false, true, 200, "{}", std::nullopt, "no Tags member"},
      {false, true, 200, "[1, 2]", std::nullopt, "not an object"},
      {false, true, 200, "<html>busy</html>", std::nullopt, "not JSON"},
      {false, false, 404, R"({"Tags": "x"})", std::nullopt, "a failure"},
      {true, false, 201, R"({"Tags": "x"})", std::nullopt, "201 is not the setting's status"},
      {true, true, 200, R"({"Tags": "x"})", "x", "the setting's answer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce(c.setting ? "PUT" : "GET",
                        c.setting ? "/cloud/1/tags" : "/cloud/1/tags/Photos/a.jpg",
                        {.status = c.status, .body = c.body});
    const auto delivered = c.setting ? setTags("u", "t") : getTags("/Photos/a.jpg");
    EXPECT_EQ(delivered.response->statusCode(), c.status);
    ASSERT_EQ(delivered.model != nullptr, c.record);
    if (delivered.model) {
      EXPECT_EQ(delivered.model->tags(), c.tags);
    }
  }

  writeServerSettings("http://127.0.0.1:1");  // nothing listens there
  const auto unreachable = getTags("/Photos/a.jpg");
  EXPECT_EQ(unreachable.model, nullptr);
  EXPECT_TRUE(unreachable.response->error().has_value());
}

}  // namespace
