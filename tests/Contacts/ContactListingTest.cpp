// The contact listing end to end against the stand-in address book: the unpaged listing, page
// gathering with its order, failures, cap and cancel, and the local sort of what arrives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPI.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/Contacts/ContactDescription.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ContactRoutes.h"

namespace {

using contacttest::fieldOf;
using Targets = std::vector<std::string>;
using Contacts = std::vector<std::shared_ptr<TQContact>>;

struct Delivery {
  testsupport::Latch done;
  int calls = 0;
  std::optional<Contacts> contacts;
  std::shared_ptr<TQAPIQueryResponse> response;
  bool onMainQueue = false;
  size_t liveCalls = 0;

  TQContactsCompletionHandler handler() {
    return [this](const std::optional<Contacts>& list,
                  const std::shared_ptr<TQAPIQueryResponse>& outcome) {
      ++calls;
      contacts = list;
      response = outcome;
      onMainQueue = tq::mainQueue().isCurrent();
      liveCalls = TQAPISDK::sharedInstance()->apiArray().count();
      done.countDown();
    };
  }
};

// "c0001", "c0002", ...: the server's order is by identifier.
std::string idOf(int i) {
  char text[16];
  std::snprintf(text, sizeof(text), "c%04d", i);
  return text;
}

std::vector<std::string> idsUpTo(int n) {
  std::vector<std::string> result;
  for (int i = 1; i <= n; ++i) {
    result.push_back(idOf(i));
  }
  return result;
}

struct ListFields {
  int32_t page = 0;
  int32_t count = 0;
  std::optional<std::string> sort;
  std::string query;
};

class ContactListingTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  testserver::AddressBook& book() { return server().state<testserver::AddressBook>(); }

  // Contacts c0001..c<n>, whose last names run the other way ("name0450" first for 450), in
  // letter cases that a case-sensitive order would sort apart.
  void seed(int n) {
    book().clear();
    for (int i = 1; i <= n; ++i) {
      char lastName[16];
      std::snprintf(lastName, sizeof(lastName), i % 4 < 2 ? "name%04d" : "Name%04d", n + 1 - i);
      book().put(idOf(i), {{"lastname", lastName}, {"firstname", i % 2 == 0 ? "even" : "odd"}});
    }
  }

  static std::shared_ptr<TQContactAPIParams> record(const ListFields& fields) {
    auto params = std::make_shared<TQContactAPIParams>();
    params->page = fields.page;
    params->count = fields.count;
    params->sort = fields.sort;
    params->query = fields.query;
    return params;
  }

  static std::shared_ptr<TQContactAPIParams> withToken(std::shared_ptr<TQContactAPIParams> params) {
    params->accessToken = "abc";
    return params;
  }

  // The targets of the listing requests, sorted (later pages arrive in any order).
  Targets targets() {
    Targets result;
    for (const auto& request : server().requests("/cloud/1/contacts")) {
      result.push_back(request.target);
    }
    std::sort(result.begin(), result.end());
    return result;
  }

  static void expectDeliveredOnce(Delivery& delivery) {
    ASSERT_TRUE(delivery.done.wait());
    drainMainQueue();
    EXPECT_EQ(delivery.calls, 1);
    EXPECT_TRUE(delivery.onMainQueue);
    EXPECT_EQ(delivery.liveCalls, 0U) << "the first call leaves the list before the host hears";
  }
};

TEST_F(ContactListingTest, ListRequests) {
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
    const auto call = TQAPI::initWithParameters<TQContactAPI>(withToken(record(c.fields)));
    call->prepareQuery();
    EXPECT_EQ(call->requestURLString(), server().baseURL() + c.target);
    EXPECT_EQ(call->requestMethod(), "GET");
    EXPECT_EQ(call->requestHeaders(), (TQStringDictionary{{"Authorization", "Bearer abc"},
                                                          {"Accept", "application/json"}}));
    EXPECT_EQ(call->requestBody(), std::nullopt);
  }
}

TEST_F(ContactListingTest, UnpagedListing) {
  const struct {
    int seeded;
    int status;
    std::optional<testserver::Answer> scripted;
    std::optional<size_t> contacts;
    const char* why;
  } cases[] = {
      {3, 200, std::nullopt, 3, "the whole book"},
      {0, 200, std::nullopt, 0, "an empty book: an empty list, not nil"},
      {3, 404, testserver::Answer{.status = 404, .body = "{}"}, std::nullopt, "404: nil"},
      {0, 200, testserver::Answer{.body = R"({"contactsResponse":{"account":{"addrbook":
            {"contacts":{"contact":{"id":"only"}}}}}})"},
       1, "a single contact object is a list of one"},
      {0, 200, testserver::Answer{.body = R"({"contactsResponse":null})"}, 0,
       "no contacts in a 200 answer: an empty list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearScripts();
    server().clearLog();
    seed(c.seeded);
    if (c.scripted) {
      server().scriptOnce("GET", "/cloud/1/contacts", *c.scripted);
    }
    Delivery delivery;
    TQAPISDK::sharedInstance()->fetchContactsWithCompletionHandler(delivery.handler());
    expectDeliveredOnce(delivery);
    EXPECT_EQ(delivery.response->statusCode(), c.status);
    EXPECT_EQ(delivery.contacts ? std::optional(delivery.contacts->size()) : std::nullopt,
              c.contacts);
    EXPECT_EQ(targets(), Targets{"/cloud/1/contacts"});
  }
}

TEST_F(ContactListingTest, GathersTheLaterPagesWhenTheHostAskedForNoPage) {
  const std::string later = "/cloud/1/contacts?page=";
  const struct {
    int seeded;
    bool itemCountAsText;
    ListFields fields;
    Targets targets;
    size_t contacts;
    const char* why;
  } cases[] = {
      {200, false, {}, {"/cloud/1/contacts"}, 200, "one page holds the book"},
      {201, false, {}, {"/cloud/1/contacts", later + "2&count=200"}, 201, "201: page 2"},
      {450,
       false,
       {},
       {"/cloud/1/contacts", later + "2&count=200", later + "3&count=200"},
       450,
       "450: pages 2 and 3"},
      {450,
       true,
       {},
       {"/cloud/1/contacts", later + "2&count=200", later + "3&count=200"},
       450,
       "itemcount as text"},
      {450, false, {.page = 1}, {"/cloud/1/contacts?page=1"}, 200, "a page given: that page"},
      {450, false, {.count = 300}, {"/cloud/1/contacts?count=300"}, 300, "a count given"},
      {450,
       false,
       {.sort = "lastname+asc", .query = "firstname:*d*"},
       {"/cloud/1/contacts?sort=lastname%2Basc&page=2&count=200&query=firstname%3A%2Ad%2A",
        "/cloud/1/contacts?sort=lastname%2Basc&query=firstname%3A%2Ad%2A"},
       225,
       "the later pages carry the sort and the query; the whole list is sorted locally"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    seed(c.seeded);
    book().setItemCountAsText(c.itemCountAsText);
    Delivery delivery;
    TQAPISDK::sharedInstance()->fetchContacts(record(c.fields), delivery.handler());
    expectDeliveredOnce(delivery);
    ASSERT_TRUE(delivery.contacts);
    EXPECT_EQ(delivery.contacts->size(), c.contacts);
    EXPECT_EQ(targets(), c.targets);
    EXPECT_EQ(delivery.response->statusCode(), 200);
    // In page order the names fall, as seeded; sorted locally they rise, whatever their case.
    auto names = fieldOf(*delivery.contacts, &TQContact::lastName);
    const auto ignoringCase = [](std::string a, std::string b) {
      std::transform(a.begin(), a.end(), a.begin(), ::tolower);
      std::transform(b.begin(), b.end(), b.begin(), ::tolower);
      return a < b;
    };
    EXPECT_TRUE(c.fields.sort ? std::is_sorted(names.begin(), names.end(), ignoringCase)
                              : std::is_sorted(names.rbegin(), names.rend(), ignoringCase));
  }
}

TEST_F(ContactListingTest, GatheredPagesKeepPageOrderWhateverOrderTheyFinishIn) {
  seed(650);
  // Page 2 is held until pages 3 and 4 have been gathered, so it finishes last.
  const auto gate = std::make_shared<testserver::Gate>();
  book().holdPage(2, gate);
  Delivery delivery;
  TQAPISDK::sharedInstance()->fetchContacts(record({}), delivery.handler());
  ASSERT_TRUE(server().waitForRequests(4, testsupport::kTimeout));
  // Gathered pages leave the list: the first call and page 2 remain.
  ASSERT_TRUE(
      testsupport::eventually([] { return TQAPISDK::sharedInstance()->apiArray().count() == 2; }));
  gate->open();
  expectDeliveredOnce(delivery);
  ASSERT_TRUE(delivery.contacts);
  EXPECT_EQ(fieldOf(*delivery.contacts, &TQContact::ID), idsUpTo(650));
}

TEST_F(ContactListingTest, FailuresOfThePages) {
  const struct {
    int failedPage;
    int status;
    std::optional<size_t> contacts;
    Targets targets;
    const char* why;
  } cases[] = {
      {1, 503, std::nullopt, {"/cloud/1/contacts"}, "a failed first page: nil, nothing more"},
      {3,
       500,
       400,
       {"/cloud/1/contacts", "/cloud/1/contacts?page=2&count=200",
        "/cloud/1/contacts?page=3&count=200"},
       "a failed later page adds nothing; its response is the combined one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    seed(450);
    book().failPage(c.failedPage, c.status);
    Delivery delivery;
    TQAPISDK::sharedInstance()->fetchContacts(record({}), delivery.handler());
    expectDeliveredOnce(delivery);
    EXPECT_EQ(delivery.response->statusCode(), c.status);
    EXPECT_EQ(delivery.contacts ? std::optional(delivery.contacts->size()) : std::nullopt,
              c.contacts);
    EXPECT_EQ(targets(), c.targets);
  }
}

TEST_F(ContactListingTest, AHugeItemcountStartsAtMostTheCappedNumberOfPages) {
  seed(3);
  book().setReportedItemCount(testserver::AddressBook::JSON("2000000000"));
  Delivery delivery;
  TQAPISDK::sharedInstance()->fetchContacts(record({}), delivery.handler());
  expectDeliveredOnce(delivery);
  EXPECT_EQ(server().requests("/cloud/1/contacts").size(),
            static_cast<size_t>(1 + TQAPISDK::maximumContactLaterPages));
  ASSERT_TRUE(delivery.contacts);
  EXPECT_EQ(delivery.contacts->size(), 3U) << "the later pages were empty";
}

TEST_F(ContactListingTest, CancellingTheListingCancelsItsLaterPagesAndDeliversNothing) {
  seed(450);
  const auto gate = std::make_shared<testserver::Gate>();
  book().holdPage(2, gate);
  book().holdPage(3, gate);
  Delivery delivery;
  const auto call = TQAPISDK::sharedInstance()->fetchContacts(record({}), delivery.handler());
  ASSERT_TRUE(server().waitForRequests(3, testsupport::kTimeout));
  ASSERT_TRUE(
      testsupport::eventually([] { return TQAPISDK::sharedInstance()->apiArray().count() == 3; }));
  call->cancelAPI();
  EXPECT_TRUE(testsupport::eventually([] {
    return TQAPISDK::sharedInstance()->apiArray().count() == 0;
  })) << "the later pages leave the list with the first call";
  gate->open();
  drainMainQueue();
  drainMainQueue();
  EXPECT_EQ(delivery.calls, 0);
}

}  // namespace
