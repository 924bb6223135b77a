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

std::string show(const std::optional<TQNumber>& number) {
  if (!number) {
    return "nil";
  }
  return (number->isInteger() ? "int "
          : number->isReal()  ? "real "
                              : "bool ") +
         number->description();
}

std::string show(const std::optional<tq::Date>& date) {
  return date ? tq::utcMillisecondsText(*date) : "nil";
}

template <class T>
std::string show(const std::optional<std::vector<std::shared_ptr<T>>>& list) {
  return list ? std::to_string(list->size()) + " records" : "nil";
}

std::shared_ptr<TQShareItem> item(const char* text) {
  return TQShareItem::initWithDictionary(JSON::parse(text));
}

TEST(ShareRecordsTest, AFullListing) {
  const auto listing = TQShare::initWithDictionary(JSON::parse(R"({
    "count": 7,
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
  EXPECT_EQ(show(listing->count()), "int 7");
  ASSERT_EQ(show(listing->links()), "1 records");
  EXPECT_EQ(show(listing->links()->at(0)->rel()), "next");
  EXPECT_EQ(show(listing->links()->at(0)->link()), "http://h/cloud/1/shares?cursor=%2B%2F8%3D");
  ASSERT_EQ(show(listing->shareList()), "2 records");

  const TQShareItem& share = *listing->shareList()->at(0);
  EXPECT_EQ(show(share.UID()), "share-1");
  EXPECT_EQ(show(share.name()), "Trip");
  EXPECT_EQ(show(share.totalResourceCount()), "int 1");
  EXPECT_EQ(show(share.expiresIn()), "int 3000000000");
  EXPECT_EQ(show(share.expirationDate()), "2119-06-02T13:20:00.000Z");
  EXPECT_EQ(show(share.creationDate()), "2024-05-01T10:00:00.000Z");
  EXPECT_EQ(show(share.lastModifiedDate()), "2024-05-01T10:01:00.250Z");
  EXPECT_EQ(show(share.inboundLastModifiedDate()), "2024-05-02T00:00:00.000Z");
  EXPECT_EQ(show(share.publicInviteKey()), "invite-1");
  EXPECT_EQ(show(share.owner()->UID()), "user-1");
  EXPECT_EQ(show(share.sharer()->UID()), "user-2");
  EXPECT_EQ(show(share.link()->rel()), "self");
  ASSERT_EQ(show(share.resources()), "1 records");
  const TQShareResource& resource = *share.resources()->at(0);
  EXPECT_EQ(show(resource.uid()), "r1");
  EXPECT_EQ(show(resource.checksum()), "abc");
  EXPECT_EQ(show(resource.contentToken()), "ct");
  EXPECT_EQ(show(resource.lastModifiedDate()), "2024-04-30T23:59:59.999Z");
  EXPECT_EQ(show(resource.location()), "/P/a.jpg");
  EXPECT_EQ(show(resource.url()), "http://h/r1");
  EXPECT_EQ(show(resource.name()), "a.jpg");
  EXPECT_EQ(show(resource.resourceId()), "res-1");
  EXPECT_EQ(show(resource.size()), "int 12");
  EXPECT_EQ(show(resource.type()), "file");
  EXPECT_EQ(show(resource.subType()), "image");

  const TQShareItem& sparse = *listing->shareList()->at(1);
  EXPECT_EQ(show(sparse.UID()), "nil");
  EXPECT_EQ(show(sparse.totalResourceCount()), "nil");
  EXPECT_EQ(show(sparse.creationDate()), "nil");
  EXPECT_EQ(show(sparse.resources()), "nil");
  ASSERT_NE(sparse.owner(), nullptr) << "users and the link are there, empty";
  ASSERT_NE(sparse.sharer(), nullptr);
  ASSERT_NE(sparse.link(), nullptr);
  EXPECT_EQ(show(sparse.owner()->UID()), "nil");
  EXPECT_EQ(show(sparse.link()->link()), "nil");
}

TEST(ShareRecordsTest, MembersOfEveryShape) {
  using Field = std::function<std::string(const TQShareItem&)>;
  const Field uid = [](const TQShareItem& s) { return show(s.UID()); };
  const Field expiresIn = [](const TQShareItem& s) { return show(s.expiresIn()); };
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
      {R"({"uid": 2.5})", uid, "2.5", "a real as its shortest text"},
      {R"({"uid": true})", uid, "1", "a boolean as 1"},
      {R"({"uid": null})", uid, "<null>", "null is there: its text form, not nil"},
      {R"({"uid": {"a": 1}})", uid, R"({"a":1})", "an object as compact JSON"},
      {R"({"expiresIn": 2.5})", expiresIn, "real 2.5", "a number kept as it came"},
      {R"({"expiresIn": "60"})", expiresIn, "nil", "text is no number"},
      {R"({"expiresIn": null})", expiresIn, "nil", "null is no number"},
      {R"({"creationDate": "2024-05-01T10:00:00Z"})", created, "nil", "no milliseconds"},
      {R"({"creationDate": "2024-05-01T10:00:00.000+01:00"})", created, "nil", "an offset"},
      {R"({"creationDate": "2023-02-29T10:00:00.000Z"})", created, "nil", "no such day"},
      {R"({"creationDate": 1714557600000})", created, "nil", "a number is no date"},
      {R"({"resources": []})", resources, "0 records", "an empty list is a list"},
      {R"({"resources": {"size": 3}})", firstSize, "int 3", "one object is a list of one"},
      {R"({"resources": [1, "x", null, [], {"size": 4}]})", resources, "1 records",
       "elements that are not objects are skipped"},
      {R"({"resources": "x"})", resources, "nil", "text is no list"},
      {R"({"resources": null})", resources, "nil", "null is no list"},
      {R"({"links": []})", rel, "nil", "no link: an empty one"},
      {R"({"links": ["x", {"rel": "self"}]})", rel, "self", "the first object"},
      {R"({"links": {"rel": "one"}})", rel, "one", "a single link object"},
      {R"({"owner": "user-1"})", owner, "nil", "an owner that is no object"},
      {R"({"owner": null})", owner, "nil", "a null owner"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.field(*item(c.json)), c.expected);
  }
}

TEST(ShareRecordsTest, AnswersThatAreNoObjectGiveEmptyRecords) {
  for (const char* text : {"null", "[]", "\"shares\"", "3"}) {
    SCOPED_TRACE(text);
    const auto listing = TQShare::initWithDictionary(JSON::parse(text));
    EXPECT_EQ(show(listing->count()), "nil");
    EXPECT_EQ(show(listing->links()), "nil");
    EXPECT_EQ(show(listing->shareList()), "nil");
    EXPECT_EQ(show(item(text)->owner()->UID()), "nil");
  }
}

}  // namespace
