// The requests the contact calls build from their records, and the records' checks.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "tests/support/ServerFixture.h"

namespace {

struct ListFields {
  int32_t page = 0;
  int32_t count = 0;
  std::optional<std::string> sort;
  std::string query;
};

std::shared_ptr<TQContactAPIParams> listRecord(const ListFields& fields,
                                               const std::string& token = "abc") {
  auto params = std::make_shared<TQContactAPIParams>();
  params->accessToken = token;
  params->page = fields.page;
  params->count = fields.count;
  params->sort = fields.sort;
  params->query = fields.query;
  return params;
}

std::string missing(const std::string& key) { return key + " <REQUIRED PARAMETER> is missing."; }

// The reason prepareQuery() raises with; nullopt when the call was prepared.
template <class Call>
std::optional<std::string> rejection(std::shared_ptr<TQAPIParams> params) {
  try {
    TQAPI::initWithParameters<Call>(std::move(params))->prepareQuery();
  } catch (const TQException& e) {
    return e.reason();
  }
  return std::nullopt;
}

std::shared_ptr<TQUpdateContactAPIParams> updateRecord(std::string id,
                                                       std::optional<tq::JSON> version) {
  auto params = std::make_shared<TQUpdateContactAPIParams>();
  params->accessToken = "abc";
  params->contactID = std::move(id);
  params->version = std::move(version);
  return params;
}

std::shared_ptr<TQDeleteContactAPIParams> deleteRecord(std::string id) {
  auto params = std::make_shared<TQDeleteContactAPIParams>();
  params->accessToken = "abc";
  params->contactID = std::move(id);
  return params;
}

class ContactRequestTest : public testsupport::ServerFixture {};

TEST_F(ContactRequestTest, RecordChecksRunInOrder) {
  const struct {
    std::function<std::optional<std::string>()> check;
    std::optional<std::string> reason;
    const char* why;
  } cases[] = {
      {[] { return rejection<TQContactAPI>(listRecord({.page = -1, .count = -1}, "")); },
       missing("access_token"), "the token first"},
      {[] { return rejection<TQContactAPI>(listRecord({.page = -1, .count = -1})); },
       missing("Negative page"), "page before count"},
      {[] { return rejection<TQContactAPI>(listRecord({.page = 2, .count = -1})); },
       missing("Negative count"), "a negative count before a missing one"},
      {[] { return rejection<TQContactAPI>(listRecord({.page = 2})); },
       missing("Positive count required"), "page 2 needs a count"},
      {[] { return rejection<TQContactAPI>(listRecord({.page = 1})); }, std::nullopt,
       "page 1 needs none"},
      {[] { return rejection<TQContactAPI>(nullptr); }, "All required parameters missing.",
       "no record"},
      {[] { return rejection<TQUpdateContactAPI>(updateRecord("", std::nullopt)); },
       missing("contactID"), "the identifier before the version"},
      {[] { return rejection<TQUpdateContactAPI>(updateRecord("c1", std::nullopt)); },
       missing("Version"), "an update needs the version it replaces"},
      {[] { return rejection<TQUpdateContactAPI>(updateRecord("c1", 0)); }, std::nullopt,
       "version 0 is a version"},
      {[] { return rejection<TQDeleteContactAPI>(deleteRecord("")); }, missing("contactID"),
       "a delete needs the identifier"},
      {[] {
         auto params = std::make_shared<TQCreateContactAPIParams>();
         return rejection<TQCreateContactAPI>(params);
       },
       missing("access_token"), "a create checks the token only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.check(), c.reason);
  }
}

TEST_F(ContactRequestTest, ListRequests) {
  const struct {
    ListFields fields;
    std::string target;
    const char* why;
  } cases[] = {
      {{}, "/cloud/1/contacts", "a fresh record: no ? at all"},
      {{.page = 1}, "/cloud/1/contacts?page=1", "page alone"},
      {{.sort = "lastname+asc"}, "/cloud/1/contacts?sort=lastname%2Basc", "the + is encoded"},
      {{.sort = ""}, "/cloud/1/contacts", "an empty sort is not sent"},
      {{.page = 3, .count = 200, .sort = "id+desc", .query = "lastname:O'Neil & Co"},
       "/cloud/1/contacts?sort=id%2Bdesc&page=3&count=200&query=lastname%3AO%27Neil%20%26%20Co",
       "every pair in a fixed order; the query cannot add pairs"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto call = TQAPI::initWithParameters<TQContactAPI>(listRecord(c.fields));
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    EXPECT_EQ(call->requestMethod(), "GET");
    EXPECT_EQ(call->requestHeaders(), (TQStringDictionary{{"Authorization", "Bearer abc"},
                                                          {"Accept", "application/json"}}));
    EXPECT_EQ(call->requestBody(), std::nullopt);
  }
}

TEST_F(ContactRequestTest, EditingRequests) {
  const TQStringDictionary bodyHeaders{{"Authorization", "Bearer abc"},
                                       {"Accept", "application/json"},
                                       {"Content-Type", "application/json"}};
  const TQStringDictionary plainHeaders{{"Authorization", "Bearer abc"},
                                        {"Accept", "application/json"}};
  const struct {
    std::function<std::shared_ptr<TQAPI>()> call;
    const char* method;
    std::string target;
    std::optional<std::string> body;
    const char* why;
  } cases[] = {
      {[] {
         auto params = std::make_shared<TQCreateContactAPIParams>();
         params->accessToken = "abc";
         params->lastName = "Lovelace";
         return TQAPI::initWithParameters<TQCreateContactAPI>(params);
       },
       "POST", "/cloud/1/contacts",
       R"({"lastname":"Lovelace","incaseofemergency":false,"favorite":false})", "create"},
      {[] { return TQAPI::initWithParameters<TQUpdateContactAPI>(updateRecord("c 1", 2)); }, "PUT",
       "/cloud/1/contacts/c%201", R"({"incaseofemergency":false,"favorite":false,"version":2})",
       "update: the version in the body, a blank encoded"},
      {[] { return TQAPI::initWithParameters<TQDeleteContactAPI>(deleteRecord("a/b")); }, "DELETE",
       "/cloud/1/contacts/a/b", std::nullopt, "a / the host wrote stays"},
      {[] { return TQAPI::initWithParameters<TQDeleteContactAPI>(deleteRecord("..")); }, "DELETE",
       "/cloud/1/contacts/%2E%2E", std::nullopt, "a dot segment is never collapsed"},
      {[] { return TQAPI::initWithParameters<TQDeleteContactAPI>(deleteRecord("x?y#z")); },
       "DELETE", "/cloud/1/contacts/x%3Fy%23z", std::nullopt, "? and # stay in the path"},
      {[] { return TQAPI::initWithParameters<TQDeleteContactAPI>(deleteRecord("100%é")); },
       "DELETE", "/cloud/1/contacts/100%%C3%A9", std::nullopt,
       "a % the host wrote stays; non-ASCII as UTF-8 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto call = c.call();
    call->prepareQuery();
    EXPECT_EQ(call->requestMethod(), c.method);
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    EXPECT_EQ(call->requestBody(), c.body);
    EXPECT_EQ(call->requestHeaders(), c.body ? bodyHeaders : plainHeaders);
  }
}

}  // namespace
