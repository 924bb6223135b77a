// The metadata listing's record checks and the request its call builds from a record.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "tests/Metadata/MetadataRecord.h"
#include "tests/support/ServerFixture.h"

namespace {

using metadatatest::Fields;

// The reason of the exception validateParameters() raises; nullopt when the record passes.
std::optional<std::string> rejection(Fields fields, const char* token = "token") {
  fields.accessToken = token;
  try {
    metadatatest::record(fields)->validateParameters();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

class TQMetaDataAPIRequestTest : public testsupport::ServerFixture {};

TEST_F(TQMetaDataAPIRequestTest, ChecksRunInOrderAndTheFirstFailureNamesItself) {
  const struct {
    Fields fields;
    const char* token;
    std::optional<std::string> reason;
    const char* why;
  } cases[] = {
      {{}, "", missing("access_token"), "no token"},
      {{.page = -1, .filter = "x"}, "", missing("access_token"), "the token comes first"},
      {{.filter = "Folder"}, "token", missing("filter"), "filters are exact"},
      {{.filter = "files"}, "token", missing("filter"), "only file or folder"},
      {{.page = -1, .filter = "x"}, "token", missing("filter"), "the filter before paging"},
      {{.page = -1, .start = -1, .count = -1}, "token", missing("Negative page"), "page first"},
      {{.start = -1, .count = -1}, "token", missing("Negative start"), "start before count"},
      {{.page = 2}, "token", missing("Positive count required"), "page 2 without a count"},
      {{.start = 2}, "token", missing("Positive count required"), "start 2 without a count"},
      {{.page = 2, .count = -1}, "token", missing("Negative count"), "negative is not missing"},
      {{.page = 1}, "token", std::nullopt, "the first page needs no count"},
      {{.start = 1}, "token", std::nullopt, "start 1 needs no count"},
      {{.filter = "file"}, "token", std::nullopt, "file"},
      {{.filter = "folder"}, "token", std::nullopt, "folder"},
      {{}, "token", std::nullopt, "the root listing's record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(rejection(c.fields, c.token), c.reason);
  }
}

TEST_F(TQMetaDataAPIRequestTest, TheFilterKeyPassesThroughTheHostsStringTable) {
  writeMainBundleStrings({{"filter", "Filtre"}});
  EXPECT_EQ(rejection({.filter = "all"}), missing("Filtre"));
}

TEST_F(TQMetaDataAPIRequestTest, RequestFromTheRecord) {
  const struct {
    Fields fields;
    std::string target;
    const char* why;
  } cases[] = {
      {{}, "/cloud/1/metadata", "the root: no path, no query"},
      {{.includeDeleted = true}, "/cloud/1/metadata?include_deleted=1", "deleted items"},
      {{.page = 1}, "/cloud/1/metadata?page=1", "page alone"},
      {{.page = 3, .start = 5, .count = 10},
       "/cloud/1/metadata?page=3&count=10",
       "a page wins over start"},
      {{.start = 5, .count = 10}, "/cloud/1/metadata?start=5&count=10", "start without a page"},
      {{.count = 7}, "/cloud/1/metadata?count=7", "count alone"},
      {{.filter = "folder"}, "/cloud/1/metadata?filter=folder", "filter"},
      {{.sort = "name+asc"}, "/cloud/1/metadata?sort=name+asc", "the sort string as given"},
      {{.sort = "name&count=1#x"},
       "/cloud/1/metadata?sort=name%26count=1%23x",
       "a sort string cannot add pairs or cut them off"},
      {{.path = "/Photos",
        .includeDeleted = true,
        .sort = "size+desc",
        .page = 2,
        .count = 20,
        .filter = "file"},
       "/cloud/1/metadata/Photos?include_deleted=1&sort=size+desc&page=2&count=20&filter=file",
       "every pair, in a fixed order"},
      {{.path = "/My Music/a&b=c/"},
       "/cloud/1/metadata/My%20Music/a&b=c/",
       "blanks escaped; / & = kept"},
      {{.path = "/Photos/a?b"}, "/cloud/1/metadata/Photos/a%3Fb", "a ? in a name"},
      {{.path = "/Photos/#/c#d"}, "/cloud/1/metadata/Photos/%23/c%23d", "a # in a name"},
      {{.path = "/100%/%41"}, "/cloud/1/metadata/100%25/%2541", "a % is the name's, no escape"},
      {{.path = "/Ünï"}, "/cloud/1/metadata/%C3%9Cn%C3%AF", "non-ASCII names as UTF-8 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Fields fields = c.fields;
    fields.accessToken = "abc";
    const auto call = TQAPI::initWithParameters<TQMetaDataAPI>(metadatatest::record(fields));
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    EXPECT_EQ(call->requestMethod(), "GET");
    EXPECT_EQ(call->requestHeaders(), (TQStringDictionary{{"Authorization", "Bearer abc"},
                                                          {"Accept", "application/json"}}));
    EXPECT_EQ(call->requestBody(), std::nullopt);
  }
}

}  // namespace
