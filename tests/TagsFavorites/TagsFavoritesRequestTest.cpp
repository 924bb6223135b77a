// The tags and favorites records' checks, and the requests their calls put on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQGetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQDeleteTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPI.h"
#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQTags.h"
#include "tests/TagsFavorites/Fixture.h"

namespace {

using tagsfavoritestest::awaitResponse;
using tagsfavoritestest::TagsFavoritesFixture;
using Favorites = std::optional<std::vector<std::shared_ptr<TQMetadata>>>;

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

// The reason validateParameters() gives; nullopt when the record passes.
std::optional<std::string> rejection(const TQAPIParams& record) {
  try {
    record.validateParameters();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

template <class Record>
std::shared_ptr<Record> make(const std::function<void(Record&)>& fill) {
  auto record = std::make_shared<Record>();
  fill(*record);
  return record;
}

// What one request looked like on the wire, and how the stand-in service answered it.
struct Wire {
  std::string method;
  std::string target;
  std::string body;
  std::optional<std::string> contentType;
  int status = 0;
};

class TagsFavoritesRequestTest : public TagsFavoritesFixture {
 protected:
  // The last request the server received, with the status the operation was answered.
  Wire lastRequest(int status) {
    const auto requests = server().requests();
    EXPECT_FALSE(requests.empty());
    if (requests.empty()) {
      return {};
    }
    const auto& request = requests.back();
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(request.header("Accept"), "application/json");
    return {request.method, request.target, request.body, request.header("Content-Type"), status};
  }
};

void expectWire(const Wire& seen, const Wire& expected) {
  EXPECT_EQ(seen.method, expected.method);
  EXPECT_EQ(seen.target, expected.target);
  EXPECT_EQ(seen.body, expected.body);
  EXPECT_EQ(seen.contentType, expected.contentType);
  EXPECT_EQ(seen.status, expected.status);
}

TEST_F(TagsFavoritesRequestTest, ABadRecordRaisesFromTheFacadeWithNothingSentOrRegistered) {
  auto facade = TQAPISDK::sharedInstance();
  std::atomic<int> handlersRun = 0;
  const auto tagsHandler = [&](const auto&, const auto&) { ++handlersRun; };
  const auto responseHandler = [&](const auto&) { ++handlersRun; };
  const struct {
    std::function<void()> start;
    std::string reason;
    const char* why;
  } cases[] = {
      {[&] { facade->getTags(nullptr, tagsHandler); }, "All required parameters missing.", "none"},
      {[&] { facade->getTags(std::make_shared<TQGetTagsAPIParams>(), tagsHandler); },
       missing("path"), "no path"},
      {[&] {
         facade->setTags(make<TQSetTagsAPIParams>([](auto& r) { r.uri = "u"; }), tagsHandler);
       },
       missing("Tags"), "tags checked after the uri passed"},
      {[&] { facade->setTags(std::make_shared<TQSetTagsAPIParams>(), tagsHandler); },
       missing("URI"), "both empty: the uri first"},
      {[&] { facade->deleteTags(std::make_shared<TQDeleteTagsAPIParams>(), responseHandler); },
       missing("URI"), "no uri to untag"},
      {[&] { facade->setFavorites(std::make_shared<TQSetFavoritesAPIParams>(), responseHandler); },
       missing("uri"), "an empty list to mark"},
      {[&] {
         facade->deleteFavorites(std::make_shared<TQDeleteFavoritesAPIParams>(), responseHandler);
       },
       missing("URI"), "no uri to unmark"},
      {[&] { facade->getFavorites(nullptr, [&](const auto&, const auto&) { ++handlersRun; }); },
       "All required parameters missing.",
       "the listing refuses a missing record on the host's thread, not on the main queue"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    try {
      c.start();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.name(), NSInvalidArgumentException);
      EXPECT_EQ(e.reason(), c.reason);
    }
    EXPECT_EQ(facade->apiArray().count(), 0U);
  }

  // Signed out: every record fails its token check first, the listing's before its root listing.
  facade->setAuthenticationCredetials(nullptr);
  const auto favorites = std::make_shared<TQGetFavoritesAPIParams>();
  favorites->virtualFolder = "Photos";
  EXPECT_THROW(facade->getFavorites(favorites, [&](const auto&, const auto&) { ++handlersRun; }),
               TQException);
  EXPECT_THROW(facade->setTags(std::make_shared<TQSetTagsAPIParams>(), tagsHandler), TQException);

  drainMainQueue();
  EXPECT_EQ(handlersRun, 0);
  EXPECT_TRUE(server().requests().empty());
}

TEST_F(TagsFavoritesRequestTest, TheRecordsKeysPassThroughTheHostsStringTable) {
  writeMainBundleStrings({{"URI", "Adresse"}, {"virtualfolder", "Dossier"}});
  TQDeleteTagsAPIParams tags;
  tags.accessToken = "token";
  EXPECT_EQ(rejection(tags), missing("Adresse"));
  TQGetFavoritesAPIParams favorites;
  favorites.accessToken = "token";
  EXPECT_EQ(rejection(favorites), missing("Dossier"));
}

TEST_F(TagsFavoritesRequestTest, TagsRequests) {
  auto facade = TQAPISDK::sharedInstance();
  const std::string file = uri("/Photos/a.jpg");  // "cloud://file/<n>"
  const std::string encodedFile = "cloud%3A//" + file.substr(std::string("cloud://").size());
  const auto tagsOutcome = [&](auto start) {
    return tagsfavoritestest::await<std::shared_ptr<TQTags>>(start).response->statusCode();
  };
  const struct {
    std::function<int()> run;
    Wire wire;
    const char* why;
  } cases[] = {
      {[&] {
         return tagsOutcome([&](auto handler) {
           facade->getTags(make<TQGetTagsAPIParams>([](auto& r) { r.path = "/Photos/a b.jpg"; }),
                           handler);
         });
       },
       {"GET", "/cloud/1/tags/Photos/a%20b.jpg", "", "application/json", 200},
       "a blank encoded, slashes kept; Content-Type without a body"},
      {[&] {
         return tagsOutcome([&](auto handler) {
           facade->getTags(make<TQGetTagsAPIParams>([](auto& r) { r.path = "/Photos/x?y#z.jpg"; }),
                           handler);
         });
       },
       {"GET", "/cloud/1/tags/Photos/x%3Fy%23z.jpg", "", "application/json", 200},
       "a ? and a # stay in the path"},
      {[&] {
         return tagsOutcome([&](auto handler) {
           facade->setTags(make<TQSetTagsAPIParams>([&](auto& r) {
                             r.uri = file;
                             r.tags = "sea & sun, \"2024\"";
                           }),
                           handler);
         });
       },
       {"PUT", "/cloud/1/tags",
        R"({"Tags":"sea & sun, \"2024\"","uri":")" + file + R"(","createVersion":true})",
        "application/json", 200},
       "a compact body with the values unchanged"},
      {[&] {
         return tagsOutcome([&](auto handler) {
           facade->setTags(make<TQSetTagsAPIParams>([&](auto& r) {
                             r.uri = file;
                             r.tags = "t";
                             r.createVersion = false;
                           }),
                           handler);
         });
       },
       {"PUT", "/cloud/1/tags", R"({"Tags":"t","uri":")" + file + R"(","createVersion":false})",
        "application/json", 200},
       "createVersion false"},
      {[&] {
         return awaitResponse([&](auto handler) {
                  facade->deleteTags(make<TQDeleteTagsAPIParams>([&](auto& r) { r.uri = file; }),
                                     handler);
                })
             .response->statusCode();
       },
       {"DELETE", "/cloud/1/tags?uri=" + encodedFile + "&createVersion=1", "", std::nullopt, 204},
       "the uri encoded, createVersion as 1, no Content-Type"},
      {[&] {
         return awaitResponse([&](auto handler) {
                  facade->deleteTags(make<TQDeleteTagsAPIParams>([](auto& r) {
                                       r.uri = "/a b&createVersion=0";
                                       r.createVersion = false;
                                     }),
                                     handler);
                })
             .response->statusCode();
       },
       {"DELETE", "/cloud/1/tags?uri=/a%20b%26createVersion%3D0&createVersion=0", "", std::nullopt,
        404},
       "\"&\", \"=\" and blanks encoded so the uri cannot add a pair"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const int status = c.run();
    expectWire(lastRequest(status), c.wire);
  }
}

TEST_F(TagsFavoritesRequestTest, FavoritesRequests) {
  auto facade = TQAPISDK::sharedInstance();
  const std::string file = uri("/Photos/a.jpg");
  const std::string folder = uri("/Photos/Trip");
  const std::string encodedFile = "cloud%3A//" + file.substr(std::string("cloud://").size());
  const auto respond = [&](auto start) { return awaitResponse(start).response->statusCode(); };
  const struct {
    std::function<int()> run;
    Wire wire;
    const char* why;
  } cases[] = {
      {[&] {
         return respond([&](auto handler) {
           facade->setFavorites(make<TQSetFavoritesAPIParams>([&](auto& r) {
                                  r.uri = {file, folder};
                                }),
                                handler);
         });
       },
       {"PUT", "/cloud/1/favorites",
        R"({"uri":[")" + file + R"(",")" + folder + R"("],"createVersion":true})",
        "application/json", 204},
       "the list as given"},
      {[&] {
         return respond([&](auto handler) {
           facade->deleteFavorites(make<TQDeleteFavoritesAPIParams>([&](auto& r) {
                                     r.uri = file;
                                     r.createVersion = false;
                                   }),
                                   handler);
         });
       },
       {"DELETE", "/cloud/1/favorites?uri=" + encodedFile + "&createVersion=0", "", std::nullopt,
        204},
       "createVersion false as 0, no Content-Type"},
      {[&] {
         return respond([&](auto handler) {
           facade->deleteFavorites(
               make<TQDeleteFavoritesAPIParams>([](auto& r) { r.uri = "/a b&d"; }), handler);
         });
       },
       {"DELETE", "/cloud/1/favorites?uri=/a%20b%26d&createVersion=1", "", std::nullopt, 404},
       "\"&\" and blanks encoded"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const int status = c.run();
    expectWire(lastRequest(status), c.wire);
  }

  // The listing: one request per virtual folder, in whatever order they went.
  server().clearLog();
  const auto listing = std::make_shared<TQGetFavoritesAPIParams>();
  listing->favResourceType = TQFavResourceTypeImage;
  const auto delivered = tagsfavoritestest::await<Favorites>(
      [&](auto handler) { facade->getFavorites(listing, handler); });
  EXPECT_EQ(delivered.response->statusCode(), 200);
  std::vector<std::string> targets;
  for (const auto& request : server().requests()) {
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_FALSE(request.header("Content-Type").has_value());
    targets.push_back(request.target);
  }
  std::sort(targets.begin() + 1, targets.end());
  EXPECT_EQ(targets, (std::vector<std::string>{
                         "/cloud/1/metadata",
                         "/cloud/1/favorites?virtualfolder=Docs&filetype=image",
                         "/cloud/1/favorites?virtualfolder=My%20Music&filetype=image",
                         "/cloud/1/favorites?virtualfolder=Photos&filetype=image",
                     }));
}

// The URL each call builds from a record, for what the stand-in service cannot be sent: its HTTP
// parser refuses a second "?" in a target, which these encoders keep as the service expects.
template <class Call, class Record>
std::string urlOf(const std::function<void(Record&)>& fill) {
  auto record = make<Record>(fill);
  record->accessToken = "token";
  const auto call = TQAPI::initWithParameters<Call>(record);
  call->prepareQuery();
  const std::string url = call->requestURLString();
  return url.substr(url.find("/cloud/1/"));
}

TEST_F(TagsFavoritesRequestTest, EachCallEncodesItsValuesItsOwnWay) {
  const auto favorites = [](int32_t type, const std::string& folder) {
    return urlOf<TQGetFavoritesAPI, TQGetFavoritesAPIParams>([=](auto& r) {
      r.favResourceType = static_cast<TQFavResourceType>(type);
      r.virtualFolder = folder;
    });
  };
  const struct {
    std::string url;
    std::string expected;
    const char* why;
  } cases[] = {
      {favorites(TQFavResourceTypeFileFolder, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&type=filefolder", "a new record: both kinds"},
      {favorites(TQFavResourceTypeFile, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&type=file", "files"},
      {favorites(TQFavResourceTypeFolder, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&type=folder", "folders"},
      {favorites(TQFavResourceTypeImage, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&filetype=image", "images: filetype, no type"},
      {favorites(TQFavResourceTypeMusic, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&filetype=music", "music"},
      {favorites(TQFavResourceTypeVideo, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&filetype=video", "videos"},
      {favorites(TQFavResourceTypeDocuments, "Photos"),
       "/cloud/1/favorites?virtualfolder=Photos&filetype=documents", "documents"},
      {favorites(7, "Photos"), "/cloud/1/favorites?virtualfolder=Photos", "past the last kind"},
      {favorites(-1, "Photos"), "/cloud/1/favorites?virtualfolder=Photos", "below the first"},
      {favorites(TQFavResourceTypeFile, "A B/C?D&E"),
       "/cloud/1/favorites?virtualfolder=A%20B/C?D%26E&type=file",
       "a folder name: blanks and \"&\" encoded, \"/\" and \"?\" kept"},
      {urlOf<TQDeleteFavoritesAPI, TQDeleteFavoritesAPIParams>([](auto& r) { r.uri = "/a?b=c"; }),
       "/cloud/1/favorites?uri=/a?b%3Dc&createVersion=1", "an unmarked uri: \"?\" kept"},
      {urlOf<TQDeleteTagsAPI, TQDeleteTagsAPIParams>([](auto& r) { r.uri = "/a?b#c"; }),
       "/cloud/1/tags?uri=/a?b%23c&createVersion=1", "an untagged uri: \"?\" kept, \"#\" not"},
      {urlOf<TQGetTagsAPI, TQGetTagsAPIParams>([](auto& r) { r.path = "/a?b#c&d=e+f"; }),
       "/cloud/1/tags/a%3Fb%23c&d=e+f", "a path: only what would leave the path is encoded"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.url, c.expected);
  }
}

}  // namespace
