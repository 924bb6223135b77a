#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

namespace {

namespace R = NSDictionary_TQResource;
using tq::JSON;

// Every accessor that answers text (or nil), keyed by name.
std::optional<std::string> readText(const std::string& accessor, const JSON& o) {
  static const std::map<std::string, std::function<std::optional<std::string>(const JSON&)>>
      kAccessors = {
          {"album", [](const JSON& j) { return R::textValue(R::album(j)); }},
          {"artist", [](const JSON& j) { return std::optional(R::artist(j)); }},
          {"contentType", [](const JSON& j) { return R::textValue(R::contentType(j)); }},
          {"extension", [](const JSON& j) { return std::optional(R::extension(j)); }},
          {"fullPath", [](const JSON& j) { return R::fullPath(j); }},
          {"mimeType", [](const JSON& j) { return R::textValue(R::mimeType(j)); }},
          {"name", [](const JSON& j) { return std::optional(R::name(j)); }},
          {"parentPath", [](const JSON& j) { return R::parentPath(j); }},
          {"tags", [](const JSON& j) { return R::tags(j); }},
          {"title", [](const JSON& j) { return std::optional(R::titleValue(j)); }},
          {"genre", [](const JSON& j) { return R::textValue(R::genre(j)); }},
      };
  return kAccessors.at(accessor)(o);
}

struct TextCase {
  const char* reason;
  const char* object;
  const char* accessor;
  std::optional<std::string> expected;
};

TEST(NSDictionaryTQResourceTest, TextAccessors) {
  const TextCase cases[] = {
      {"name read from name", R"({"name":"a.jpg"})", "name", "a.jpg"},
      {"name falls back to filename", R"({"filename":"b.txt"})", "name", "b.txt"},
      {"a null name is present and wins over filename", R"({"name":null,"filename":"b"})", "name",
       "(null)"},
      {"absent name prints (null)", R"({})", "name", "(null)"},
      {"numeric name prints its digits", R"({"name":42})", "name", "42"},
      {"integral real prints without .0", R"({"name":3.0})", "name", "3"},
      {"real prints its shortest text", R"({"name":2.5})", "name", "2.5"},
      {"boolean prints 1", R"({"name":true})", "name", "1"},
      {"a resource object that is no object has nothing", R"([1,2])", "name", "(null)"},
      {"empty sa Artist wins over a full top-level one",
       R"({"systemAttributes":{"Artist":""},"artist":"Top"})", "artist", ""},
      {"null sa Artist wins and prints (null)",
       R"({"systemAttributes":{"Artist":null},"artist":"Top"})", "artist", "(null)"},
      {"artist falls back to the top level", R"({"artist":"Top"})", "artist", "Top"},
      {"a text systemAttributes has no members", R"({"systemAttributes":"x","artist":"Top"})",
       "artist", "Top"},
      {"a null systemAttributes has no members", R"({"systemAttributes":null,"artist":"Top"})",
       "artist", "Top"},
      {"absent title prints (null)", R"({"title":"top-level is never read"})", "title", "(null)"},
      {"sa MimeType wins for mimeType",
       R"({"systemAttributes":{"MimeType":"image/jpeg"},"mimeType":"text/plain"})", "mimeType",
       "image/jpeg"},
      {"contentType reads what mimeType reads",
       R"({"systemAttributes":{"MimeType":"image/jpeg"},"mimeType":"text/plain"})", "contentType",
       "image/jpeg"},
      {"a numeric album becomes text", R"({"album":7})", "album", "7"},
      {"genre has no top-level fallback", R"({"genre":"Jazz"})", "genre", std::nullopt},
      {"fullPath is path when present", R"({"name":"a.jpg","path":"/Photos/a.jpg"})", "fullPath",
       "/Photos/a.jpg"},
      {"parentPath derived from path", R"({"name":"a.jpg","path":"/Photos/a.jpg"})", "parentPath",
       "/Photos"},
      {"extension of the name", R"({"name":"a.jpg","path":"/Photos/a.jpg"})", "extension", "jpg"},
      {"fullPath built under the root", R"({"name":"a.jpg","parentPath":"/"})", "fullPath",
       "/a.jpg"},
      {"fullPath built under a folder", R"({"name":"a.jpg","parentPath":"/Photos"})", "fullPath",
       "/Photos/a.jpg"},
      {"fullPath with nothing to build from", R"({})", "fullPath", "(null)/(null)"},
      {"no name has no extension", R"({})", "extension", ""},
      {"trailing slashes dropped first", R"({"path":"/a/b/"})", "parentPath", "/a"},
      {"one component under the root", R"({"path":"/a"})", "parentPath", "/"},
      {"a relative single component", R"({"path":"a"})", "parentPath", ""},
      {"the root stays the root", R"({"path":"/"})", "parentPath", "/"},
      {"neither parentPath nor path", R"({"name":"a"})", "parentPath", std::nullopt},
      {"a hidden file's extension", R"({"name":".hidden"})", "extension", "hidden"},
      {"only the last full stop counts", R"({"name":"a.tar.gz"})", "extension", "gz"},
      {"only the last path component counts", R"({"name":"x.d/readme"})", "extension", ""},
      {"absent Tags", R"({"systemAttributes":{}})", "tags", std::nullopt},
      {"text Tags unchanged", R"({"systemAttributes":{"Tags":"a, b"}})", "tags", "a, b"},
      {"list Tags as compact JSON", R"({"systemAttributes":{"Tags":["a","b"]}})", "tags",
       R"(["a","b"])"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readText(c.accessor, JSON::parse(c.object)), c.expected) << c.reason;
  }
}

struct DateCase {
  const char* reason;
  const char* text;
  std::optional<int64_t> millisecondsSinceEpoch;
};

TEST(NSDictionaryTQResourceTest, DatesAreReadStrictlyAsUTC) {
  const DateCase cases[] = {
      {"the server's form", "2024-03-01T10:00:00.000Z", 1709287200000},
      {"milliseconds count", "1970-01-01T00:00:00.123Z", 123},
      {"a leap day", "2024-02-29T23:59:59.999Z", 1709251199999},
      {"no milliseconds", "2024-03-01T10:00:00Z", std::nullopt},
      {"two digits of milliseconds", "2024-03-01T10:00:00.00Z", std::nullopt},
      {"four digits of milliseconds", "2024-03-01T10:00:00.0000Z", std::nullopt},
      {"a space for the T", "2024-03-01 10:00:00.000Z", std::nullopt},
      {"another zone", "2024-03-01T10:00:00.000+01:00", std::nullopt},
      {"a lower-case z", "2024-03-01T10:00:00.000z", std::nullopt},
      {"trailing text", "2024-03-01T10:00:00.000Z ", std::nullopt},
      {"month 13", "2024-13-01T10:00:00.000Z", std::nullopt},
      {"February 30", "2024-02-30T10:00:00.000Z", std::nullopt},
      {"February 29 of a common year", "2023-02-29T10:00:00.000Z", std::nullopt},
      {"hour 24", "2024-03-01T24:00:00.000Z", std::nullopt},
      {"minute 60", "2024-03-01T10:60:00.000Z", std::nullopt},
      {"second 60", "2024-03-01T10:00:60.000Z", std::nullopt},
      {"a sign in a field", "2024-+3-01T10:00:00.000Z", std::nullopt},
      {"empty text", "", std::nullopt},
  };
  const auto& formatter = R::apiDateFormatter();
  for (const auto& c : cases) {
    const auto date = formatter.dateFromString(c.text);
    ASSERT_EQ(date.has_value(), c.millisecondsSinceEpoch.has_value()) << c.reason;
    if (date) {
      EXPECT_EQ(date->time_since_epoch().count(), *c.millisecondsSinceEpoch) << c.reason;
      EXPECT_EQ(formatter.stringFromDate(*date), c.text) << c.reason << ": round trip";
    }
  }
}

TEST(NSDictionaryTQResourceTest, DateMembersOfAnotherTypeAreNil) {
  const auto object = JSON::parse(
      R"({"versionCreated":1709287200000,"systemAttributes":{"CreationDate":null,
          "CaptureDate":["2024-03-01T10:00:00.000Z"],"TimelineDate":"2024-03-01T10:00:00.000Z"}})");
  EXPECT_FALSE(R::versionCreated(object));
  EXPECT_FALSE(R::creationDate(object));
  EXPECT_FALSE(R::capturedDate(object));
  EXPECT_TRUE(R::timelineDate(object));
}

struct FlagCase {
  const char* reason;
  const char* object;
  bool file;
  bool immutable;
};

TEST(NSDictionaryTQResourceTest, FileAndImmutable) {
  const FlagCase cases[] = {
      {"absent members", R"({})", false, false},
      {"empty token, false flag", R"({"contentToken":"","immutable":false})", false, false},
      {"a token, a true flag", R"({"contentToken":"abc","immutable":true})", true, true},
      {"null members", R"({"contentToken":null,"immutable":null})", false, false},
      {"a numeric token has text", R"({"contentToken":5,"immutable":1})", true, true},
      {"zero is false", R"({"immutable":0})", false, false},
      {"text flags read like YES and NO", R"({"immutable":"YES"})", false, true},
      {"text NO", R"({"immutable":"no"})", false, false},
      {"blanks, a sign and zeros are skipped", R"({"immutable":"  +0012"})", false, true},
      {"a container is false", R"({"contentToken":{},"immutable":{}})", true, false},
  };
  for (const auto& c : cases) {
    const auto object = JSON::parse(c.object);
    EXPECT_EQ(R::file(object), c.file) << c.reason;
    EXPECT_EQ(R::immutable(object), c.immutable) << c.reason;
  }
}

struct NumberCase {
  const char* reason;
  const char* value;
  std::optional<std::string> description;  // nil when the value is no number
  bool real;
};

TEST(NSDictionaryTQResourceTest, Numbers) {
  const NumberCase cases[] = {
      {"an integer", "1024", "1024", false},
      {"a negative integer", "-3", "-3", false},
      {"a real", "1.5", "1.5", true},
      {"an integral real", "3.0", "3", true},
      {"a large real", "1e300", "1e+300", true},
      {"an unsigned integer past int64", "18446744073709551615", "18446744073709551616", true},
      {"a boolean", "true", "1", false},
      {"text is no number", R"("1024")", std::nullopt, false},
      {"null is no number", "null", std::nullopt, false},
  };
  for (const auto& c : cases) {
    const auto value = JSON::parse(c.value);
    const auto number = R::numberValue(&value);
    ASSERT_EQ(number.has_value(), c.description.has_value()) << c.reason;
    if (number) {
      EXPECT_EQ(number->description(), *c.description) << c.reason;
      EXPECT_EQ(number->isReal(), c.real) << c.reason;
    }
  }
}

TEST(NSDictionaryTQResourceTest, ResourceValuesReadEveryAttributeOnce) {
  const auto object = JSON::parse(R"({
    "name": "song.mp3", "path": "/Music/song.mp3", "uri": "cloud://file/9", "itemuid": "item-9",
    "checksum": "abc", "contentToken": "tok", "count": 3, "deleted": true, "size": 4096,
    "version": 2, "versionCreated": "2024-03-01T10:00:00.000Z", "immutable": true,
    "systemAttributes": {"Album": "A", "Artist": "B", "Genre": "Jazz", "Duration": 215.5,
      "Title": "Song", "MimeType": "audio/mpeg", "Tags": "x", "Height": 10, "Width": 20,
      "GeoLatitude": 48.5, "GeoLongitude": -2, "LocationCountry": "FR",
      "LocationLocality": "Paris", "LocationRegion": "IDF",
      "CreationDate": "2024-01-01T00:00:00.000Z", "CaptureDate": "2024-01-02T00:00:00.000Z",
      "TimelineDate": "2024-01-03T00:00:00.000Z"}})");
  const TQResourceValues values = R::resourceValues(object);
  const auto date = [](const char* text) { return R::apiDateFormatter().dateFromString(text); };
  TQResourceValues expected;
  expected.album = "A";
  expected.artist = "B";
  expected.capturedDate = date("2024-01-02T00:00:00.000Z");
  expected.checkSum = "abc";
  expected.contentToken = "tok";
  expected.contentType = "audio/mpeg";
  expected.count = TQNumber::integer(3);
  expected.creationDate = date("2024-01-01T00:00:00.000Z");
  expected.deleted = TQNumber::boolean(true);
  expected.duration = TQNumber::real(215.5);
  expected.extension = "mp3";
  expected.file = true;
  expected.fullPath = "/Music/song.mp3";
  expected.genre = "Jazz";
  expected.geoLatitude = TQNumber::real(48.5);
  expected.geoLongitude = TQNumber::integer(-2);
  expected.height = TQNumber::integer(10);
  expected.itemuid = "item-9";
  expected.locationCountry = "FR";
  expected.locationLocality = "Paris";
  expected.locationRegion = "IDF";
  expected.mimeType = "audio/mpeg";
  expected.name = "song.mp3";
  expected.parentPath = "/Music";
  expected.size = TQNumber::integer(4096);
  expected.timelineDate = date("2024-01-03T00:00:00.000Z");
  expected.title = "Song";
  expected.version = TQNumber::integer(2);
  expected.versionCreated = date("2024-03-01T10:00:00.000Z");
  expected.width = TQNumber::integer(20);
  expected.uri = "cloud://file/9";
  expected.tags = "x";
  expected.immutable = true;
  EXPECT_EQ(values, expected);
}

}  // namespace
