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
using TagsDelivery = tagsfavoritestest::Delivered<std::shared_ptr<TQTags>>;

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

  static int deleteTags(const std::string& uri) {
    auto params = std::make_shared<TQDeleteTagsAPIParams>();
    params->uri = uri;
    return tagsfavoritestest::awaitResponse(
               [&](auto handler) { TQAPISDK::sharedInstance()->deleteTags(params, handler); })
        .response->statusCode();
  }

  static std::optional<std::string> tagsOf(const TagsDelivery& delivered) {
    EXPECT_NE(delivered.model, nullptr);
    return delivered.model ? delivered.model->tags() : "(no record)";
  }
};

TEST_F(TagsTest, SetReadAndRemoveTags) {
  const auto set = setTags(uri("/Photos/a.jpg"), "beach,2024");
  EXPECT_EQ(tagsOf(set), "beach,2024") << "the text goes through unchanged";
  EXPECT_TRUE(set.onMainQueue);
  EXPECT_EQ(set.liveCalls, 0U) << "the call leaves the list before the host hears of it";
  EXPECT_EQ(tagsOf(getTags("/Photos/a.jpg")), "beach,2024");

  // A later listing sees them, since they live in the tree.
  auto listingParams = std::make_shared<TQMetaDataAPIParams>();
  listingParams->path = "/Photos";
  const auto listing = await<std::shared_ptr<TQMetadata>>(
      [&](auto handler) { TQAPISDK::sharedInstance()->fetchMetadata(listingParams, handler); });
  ASSERT_NE(listing.model, nullptr);
  ASSERT_FALSE(listing.model->subFiles().empty());
  EXPECT_EQ(listing.model->subFiles()[0]->name(), "a.jpg");
  EXPECT_EQ(listing.model->subFiles()[0]->tags(), "beach,2024");

  EXPECT_EQ(deleteTags(uri("/Photos/a.jpg")), 204);
  EXPECT_EQ(tagsOf(getTags("/Photos/a.jpg")), "");
  EXPECT_EQ(deleteTags("cloud://file/none"), 404) << "handed on as it came";

  // Names that a path cut at "?" or "#" would turn into "/Photos/x".
  EXPECT_EQ(tagsOf(getTags("/Photos/x?y#z.jpg")), "right");
  EXPECT_EQ(tagsOf(getTags("/Photos/a b.jpg")), "blank");
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
      {false, true, 200, "[1, 2]", std::nullopt, "not an object"},
      {false, true, 200, "<html>busy</html>", std::nullopt, "not JSON"},
      {false, false, 404, R"({"Tags": "x"})", std::nullopt, "a failure"},
      {true, false, 201, R"({"Tags": "x"})", std::nullopt, "201 is not the setting's status"},
      {true, true, 200, "{}", std::nullopt, "a setting answered without Tags"},
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
}

}  // namespace
