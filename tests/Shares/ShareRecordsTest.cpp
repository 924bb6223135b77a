// Reading share answers into the share records: full and sparse answers, and members of every
// shape the service may send.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/TQShare.h"
#include "QuenlarCloudAPI/Platform/DateText.h"

namespace {

using tq::JSON;

std::string show(const std::optional<std::string>& text) { return text.value_or("nil"); }

// A member held as the server sent it, as compact JSON: 3 and "3" read apart.
std::string show(const std::optional<JSON>& value) { return value ? value->dump() : "nil"; }

std::string show(const std::optional<tq::Date>& date) {
  return date ? tq::utcMillisecondsText(*date) : "nil";
}

template <class T>
std::string show(const std::optional<std::vector<std::shared_ptr<T>>>& list) {
  return list ? std::to_string(list->size()) + " records" : "nil";
}

// Every field, in declaration order, joined by "|".
std::string describe(const TQShareResource& r) {
  return show(r.uid()) + "|" + show(r.checksum()) + "|" + show(r.contentToken()) + "|" +
         show(r.lastModifiedDate()) + "|" + show(r.location()) + "|" + show(r.url()) + "|" +
         show(r.name()) + "|" + show(r.resourceId()) + "|" + show(r.size()) + "|" + show(r.type()) +
         "|" + show(r.subType());
}

std::string describe(const TQShareItem& s) {
  return show(s.UID()) + "|" + show(s.name()) + "|" + show(s.totalResourceCount()) + "|" +
         show(s.expiresIn()) + "|" + show(s.expirationDate()) + "|" + show(s.creationDate()) + "|" +
         show(s.lastModifiedDate()) + "|" + show(s.inboundLastModifiedDate()) + "|" +
         show(s.publicInviteKey()) + "|" + show(s.owner()->UID()) + "|" + show(s.sharer()->UID()) +
         "|" + show(s.link()->rel()) + "|" + show(s.resources());
}

std::shared_ptr<TQShareItem> item(const char* text) {
  return TQShareItem::initWithDictionary(JSON::parse(text));
}

TEST(ShareRecordsTest, AFullListing) {
  const auto listing = TQShare::initWithDictionary(JSON::parse(R"({
    "count": "7",
    "links": [{"rel": "next", "link": "http://h/cloud/1/shares?cursor=%2B%2F8%3D"}],
    "share": [{
      "uid": "share-1", "name": "Trip", "totalResourceCount": 1, "expiresIn": 3000000000,
      "expirationDate": "2119-06-02T13:20:00.000Z", "creationDate": "2024-05-01T10:00:00.000Z",
      "lastModifiedDate": "2024-05-01T10:01:00.250Z",
      "inboundLastModifiedDate": "2024-05-02T00:00:00.000Z", "publicInviteKey": "invite-1",
      "owner": {"uid": "user-1"}, "sharer": {"uid": "user-2"},
      "links": [{"rel": "self", "link": "http://h/cloud/1/shares/share-1"}],
      "resources": [{
        "uid": "r1", "checksum": "abc", "contentToken": "ct", "lastModifiedDate":
        "2024-04-30T23:59:59.999Z", "location": "/P/a.jpg", "url": "http://h/r1", "name": "a.jpg",
        "resourceId": "res-1", "size": 12, "type": "file", "subType": "image"}]
    }, {}]})"));
  ASSERT_EQ(show(listing->links()), "1 records");
  ASSERT_EQ(show(listing->shareList()), "2 records");
  EXPECT_EQ(show(listing->count()), R"("7")");
  EXPECT_EQ(show(listing->links()->at(0)->link()), "http://h/cloud/1/shares?cursor=%2B%2F8%3D");
  const TQShareItem& share = *listing->shareList()->at(0);
  EXPECT_EQ(describe(share),
            "share-1|Trip|1|3000000000|2119-06-02T13:20:00.000Z|2024-05-01T10:00:00.000Z|"
            "2024-05-01T10:01:00.250Z|2024-05-02T00:00:00.000Z|invite-1|user-1|user-2|self|"
            "1 records");
  EXPECT_EQ(describe(*share.resources()->at(0)),
            "r1|abc|ct|2024-04-30T23:59:59.999Z|/P/a.jpg|http://h/r1|a.jpg|res-1|12|file|"
            "image");
  const TQShareItem& sparse = *listing->shareList()->at(1);
  ASSERT_TRUE(sparse.owner() && sparse.sharer() && sparse.link()) << "always there, empty";
  EXPECT_EQ(describe(sparse), "nil|nil|nil|nil|nil|nil|nil|nil|nil|nil|nil|nil|nil");
  EXPECT_EQ(describe(*TQShareResource::initWithDictionary(JSON::object())),
            "nil|nil|nil|nil|nil|nil|nil|nil|nil|nil|nil");
}

TEST(ShareRecordsTest, MembersOfEveryShape) {
  using Field = std::function<std::string(const TQShareItem&)>;
  const Field uid = [](const TQShareItem& s) { return show(s.UID()); };
  const Field expiresIn = [](const TQShareItem& s) { return show(s.expiresIn()); };
  const Field total = [](const TQShareItem& s) { return show(s.totalResourceCount()); };
  const Field created = [](const TQShareItem& s) { return show(s.creationDate()); };
  const Field resources = [](const TQShareItem& s) { return show(s.resources()); };
  const Field firstSize = [](const TQShareItem& s) {
    return s.resources() && !s.resources()->empty() ? show(s.resources()->front()->size()) : "-";
  };
  const Field rel = [](const TQShareItem& s) { return show(s.link()->rel()); };
  const Field owner = [](const TQShareItem& s) { return show(s.owner()->UID()); };
  const struct {
    const char* json;
    Field field;
    std::string expected;
    const char* why;
  } cases[] = {
      {R"({"uid": 42})", uid, "42", "a number as its decimal text"},
      {R"({"uid": null})", uid, "<null>", "null is there: its text form, not nil"},
      {R"({"uid": {"a": 1}})", uid, R"({"a":1})", "an object as compact JSON"},
      {R"({"expiresIn": 2.5})", expiresIn, "2.5", "a number kept as it came"},
      {R"({"expiresIn": "60"})", expiresIn, R"("60")", "a text where a number belongs, as sent"},
      {R"({"expiresIn": null})", expiresIn, "null", "a null is there, as sent"},
      {R"({"totalResourceCount": "3"})", total, R"("3")", "a count sent as text stays text"},
      {R"({"totalResourceCount": 3})", total, "3", "a count sent as a number"},
      {R"({"creationDate": "2024-05-01T10:00:00Z"})", created, "nil", "no milliseconds"},
      {R"({"creationDate": "2024-05-01T10:00:00.000+01:00"})", created, "nil", "an offset"},
      {R"({"creationDate": 1714557600000})", created, "nil", "a number is no date"},
      {R"({"resources": []})", resources, "0 records", "an empty list is a list"},
      {R"({"resources": {"size": 3}})", firstSize, "3", "one object is a list of one"},
      {R"({"resources": [{"size": "12"}]})", firstSize, R"("12")", "a size sent as text"},
      {R"({"resources": [1, "x", null, [], {"size": 4}]})", resources, "1 records",
       "elements that are not objects are skipped"},
      {R"({"resources": "x"})", resources, "nil", "text is no list"},
      {R"({"links": []})", rel, "nil", "no link: an empty one"},
      {R"({"links": ["x", {"rel": "self"}]})", rel, "self", "the first object"},
      {R"({"links": {"rel": "one"}})", rel, "one", "a single link object"},
      {R"({"owner": "user-1"})", owner, "nil", "an owner that is no object"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.field(*item(c.json)), c.expected);
  }
}

}  // namespace
