// The tags and favorites records' checks, and the requests their calls build from a record.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"

namespace {

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

template <class Record>
std::shared_ptr<Record> make(const std::function<void(Record&)>& fill) {
  auto record = std::make_shared<Record>();
  record->accessToken = "token";
  fill(*record);
  return record;
}

// The reason validateParameters() gives; nullopt when the record passes.
template <class Record>
std::optional<std::string> rejection(const std::function<void(Record&)>& fill) {
  try {
    make<Record>(fill)->validateParameters();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

// A request as a call builds it, the URL from its "/cloud/1/" on.
struct Shape {
  std::string method;
  std::string url;
  std::optional<std::string> body;
  std::optional<std::string> contentType;
  bool operator==(const Shape&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shape& shape) {
  return out << shape.method << " " << shape.url << " " << shape.body.value_or("(no body)") << " "
             << shape.contentType.value_or("(no type)");
}

template <class Call, class Record>
Shape shapeOf(const std::function<void(Record&)>& fill) {
  const auto call = TQAPI::initWithParameters<Call>(make<Record>(fill));
  call->prepareQuery();
  const auto headers = call->requestHeaders();
  EXPECT_EQ(headers.find("Authorization") ? *headers.find("Authorization") : "", "Bearer token");
  EXPECT_EQ(headers.find("Accept") ? *headers.find("Accept") : "", "application/json");
  const std::string url = call->requestURLString();
  const std::string* type = headers.find("Content-Type");
  return {call->requestMethod(), url.substr(url.find("/cloud/1/")), call->requestBody(),
          type ? std::optional(*type) : std::nullopt};
}

class TagsFavoritesRequestTest : public testsupport::ServerFixture {};

TEST_F(TagsFavoritesRequestTest, ChecksRunInOrderAndTheFirstFailureNamesItself) {
  const struct {
    std::optional<std::string> reason;
    std::optional<std::string> expected;
    const char* why;
  } cases[] = {
      {rejection<TQGetTagsAPIParams>([](auto& r) { r.accessToken.clear(); }),
       missing("access_token"), "the token first"},
      {rejection<TQGetTagsAPIParams>([](auto&) {}), missing("path"), "no path to read"},
      {rejection<TQSetTagsAPIParams>([](auto&) {}), missing("URI"), "both empty: the uri first"},
      {rejection<TQSetTagsAPIParams>([](auto& r) { r.uri = "u"; }), missing("Tags"), "no tags"},
      {rejection<TQDeleteTagsAPIParams>([](auto&) {}), missing("URI"), "no uri to untag"},
      {rejection<TQGetFavoritesAPIParams>([](auto&) {}), missing("virtualfolder"), "no folder"},
      {rejection<TQGetFavoritesAPIParams>([](auto& r) {
         r.virtualFolder = "Photos";
         r.favResourceType = static_cast<TQFavResourceType>(-1);
       }),
       std::nullopt, "the kind is not checked"},
      {rejection<TQSetFavoritesAPIParams>([](auto&) {}), missing("uri"), "an empty list to mark"},
      {rejection<TQDeleteFavoritesAPIParams>([](auto&) {}), missing("URI"), "no uri to unmark"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.reason, c.expected);
  }
}

TEST_F(TagsFavoritesRequestTest, TheFavoritesListingRefusesABadRecordOnTheHostsThread) {
  auto facade = TQAPISDK::sharedInstance();
  std::atomic<bool> handlerRan = false;
  const auto handler = [&](const auto&, const auto&) { handlerRan = true; };
  try {
    facade->getFavorites(nullptr, handler);
    ADD_FAILURE() << "no exception";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), "All required parameters missing.");
  }
  // Signed out: the record's token is empty once the facade's is copied in.
  facade->setAuthenticationCredetials(nullptr);
  EXPECT_THROW(facade->getFavorites(std::make_shared<TQGetFavoritesAPIParams>(), handler),
               TQException);
  drainMainQueue();
  EXPECT_FALSE(handlerRan);
  EXPECT_EQ(facade->apiArray().count(), 0U);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(TagsFavoritesRequestTest, EachCallBuildsItsRequestAndEncodesItsValuesItsOwnWay) {
  const auto favorites = [](int32_t type, const std::string& folder) {
    return shapeOf<TQGetFavoritesAPI, TQGetFavoritesAPIParams>([=](auto& r) {
      r.favResourceType = static_cast<TQFavResourceType>(type);
      r.virtualFolder = folder;
    });
  };
  const auto listing = [](const std::string& query) {
    return Shape{"GET", "/cloud/1/favorites?" + query, std::nullopt, std::nullopt};
  };
  const struct {
    Shape shape;
    Shape expected;
    const char* why;
  } cases[] = {
      {shapeOf<TQGetTagsAPI, TQGetTagsAPIParams>([](auto& r) { r.path = "/a b/c?d#e&f=g+h"; }),
       {"GET", "/cloud/1/tags/a%20b/c%3Fd%23e&f=g+h", std::nullopt, "application/json"},
       "a path: only what would leave the path is encoded; a type without a body"},
      {shapeOf<TQSetTagsAPI, TQSetTagsAPIParams>([](auto& r) {
         r.uri = "cloud://file/1";
         r.tags = "sea & sun, \"2024\"";
       }),
       {"PUT", "/cloud/1/tags",
        R"({"Tags":"sea & sun, \"2024\"","uri":"cloud://file/1","createVersion":true})",
        "application/json"},
       "a compact body, values unchanged"},
      {shapeOf<TQSetTagsAPI, TQSetTagsAPIParams>([](auto& r) {
         r.uri = "u";
         r.tags = "t";
         r.createVersion = false;
       }),
       {"PUT", "/cloud/1/tags", R"({"Tags":"t","uri":"u","createVersion":false})",
        "application/json"},
       "createVersion false"},
      {shapeOf<TQDeleteTagsAPI, TQDeleteTagsAPIParams>([](auto& r) { r.uri = "/a b?c&v=0#"; }),
       {"DELETE", "/cloud/1/tags?uri=/a%20b?c%26v%3D0%23&createVersion=1", std::nullopt,
        std::nullopt},
       "\"&\", \"=\", \"#\" and blanks encoded so the uri cannot add a pair; \"/\" and \"?\" kept"},
      {shapeOf<TQSetFavoritesAPI, TQSetFavoritesAPIParams>([](auto& r) {
         r.uri = {"cloud://file/1", "a b"};
       }),
       {"PUT", "/cloud/1/favorites", R"({"uri":["cloud://file/1","a b"],"createVersion":true})",
        "application/json"},
       "the list as given"},
      {shapeOf<TQDeleteFavoritesAPI, TQDeleteFavoritesAPIParams>([](auto& r) {
         r.uri = "cloud://x?y&z";
         r.createVersion = false;
       }),
       {"DELETE", "/cloud/1/favorites?uri=cloud%3A//x?y%26z&createVersion=0", std::nullopt,
        std::nullopt},
       "createVersion false as 0"},
      {favorites(TQFavResourceTypeFileFolder, "Photos"),
       listing("virtualfolder=Photos&type=filefolder"), "both kinds"},
      {favorites(TQFavResourceTypeImage, "Photos"), listing("virtualfolder=Photos&filetype=image"),
       "a file type: no type"},
      {favorites(7, "Photos"), listing("virtualfolder=Photos"), "past the last kind: no pair"},
      {favorites(-1, "Photos"), listing("virtualfolder=Photos"), "below the first likewise"},
      {favorites(TQFavResourceTypeFile, "A B/C?D&E"),
       listing("virtualfolder=A%20B/C?D%26E&type=file"), "a folder name: \"/\" and \"?\" kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected.url + " " + c.why);
    EXPECT_EQ(c.shape, c.expected);
  }
}

}  // namespace
