// Creating, updating and deleting contacts end to end against the stand-in address book.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQIMContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPI.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/Contacts/ContactDescription.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ContactRoutes.h"

namespace {

using contacttest::describe;
using JSON = testserver::AddressBook::JSON;

struct Delivery {
  testsupport::Latch done;
  std::shared_ptr<TQContact> contact;
  std::shared_ptr<TQAPIQueryResponse> response;
};

class ContactEditingTest : public testsupport::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    signIn();
  }

  testserver::AddressBook& book() { return server().state<testserver::AddressBook>(); }

  // Runs createContact() or updateContact() with `params` and waits for the handler.
  template <class Params>
  static std::shared_ptr<Delivery> edit(std::shared_ptr<Params> params) {
    auto delivery = std::make_shared<Delivery>();
    TQContactCompletionHandler handler = [delivery](
                                             const std::shared_ptr<TQContact>& contact,
                                             const std::shared_ptr<TQAPIQueryResponse>& response) {
      delivery->contact = contact;
      delivery->response = response;
      delivery->done.countDown();
    };
    if constexpr (std::is_same_v<Params, TQUpdateContactAPIParams>) {
      TQAPISDK::sharedInstance()->updateContact(std::move(params), std::move(handler));
    } else {
      TQAPISDK::sharedInstance()->createContact(std::move(params), std::move(handler));
    }
    EXPECT_TRUE(delivery->done.wait());
    return delivery;
  }

  static std::shared_ptr<TQAPIQueryResponse> remove(const std::string& id) {
    auto params = std::make_shared<TQDeleteContactAPIParams>();
    params->contactID = id;
    testsupport::Latch done;
    std::shared_ptr<TQAPIQueryResponse> outcome;
    TQAPISDK::sharedInstance()->deleteContact(
        params, [&](const std::shared_ptr<TQAPIQueryResponse>& response) {
          outcome = response;
          done.countDown();
        });
    EXPECT_TRUE(done.wait());
    return outcome;
  }
};

std::shared_ptr<TQCreateContactAPIParams> adaLovelace() {
  auto params = std::make_shared<TQCreateContactAPIParams>();
  params->firstName = "Ada";
  params->lastName = "Lovelace";
  params->maritalStatus = "married";
  auto im = std::make_shared<TQIMContactAPIParams>();
  im->type = "chat";
  im->indx = 1;
  im->address = "ada@im";
  params->im = {{im}};
  return params;
}

TEST_F(ContactEditingTest, CreateHandsBackWhatWasSentWithTheServersIdentity) {
  const auto delivery = edit(adaLovelace());
  ASSERT_NE(delivery->contact, nullptr);
  EXPECT_EQ(describe(*delivery->contact),
            "version=1 ID=contact-1 firstName=Ada lastName=Lovelace maritalStatus=married "
            "im=[type=chat address=ada@im]")
      << "the marital status survives its lower-case body key; im elements carry no indx";
  const auto stored = book().contact("contact-1");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->value("lastname", ""), "Lovelace");
  const auto requests = server().requests("/cloud/1/contacts");
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
  EXPECT_EQ(requests[0].header("Authorization"), "Bearer test-access-token");
}

TEST_F(ContactEditingTest, TheAnswerDecidesWhetherAndWhatIsHandedBack) {
  const struct {
    testserver::Answer answer;
    std::optional<std::string> line;
    const char* why;
  } cases[] = {
      {{.status = 200, .body = R"({"id":"x","version":1})"}, std::nullopt, "200 is not created"},
      {{.status = 201, .body = R"({"id":9})"},
       "ID=9 lastName=Lovelace",
       "no version in the answer: none in the contact"},
      {{.status = 201, .body = R"({"version":null})"},
       "lastName=Lovelace",
       "no id and a null version"},
      {{.status = 201, .body = R"([1,2])"}, "lastName=Lovelace", "an answer that is no object"},
      {{.status = 201, .body = "not json"}, "lastName=Lovelace", "an answer that is no JSON"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().scriptOnce("POST", "/cloud/1/contacts", c.answer);
    auto params = std::make_shared<TQCreateContactAPIParams>();
    params->lastName = "Lovelace";
    const auto delivery = edit(params);
    EXPECT_EQ(delivery->response->statusCode(), c.answer.status);
    EXPECT_EQ(delivery->contact ? std::optional(describe(*delivery->contact)) : std::nullopt,
              c.line);
  }
}

TEST_F(ContactEditingTest, UpdateSendsTheVersionAndHandsBackTheNewOne) {
  book().put("c1", {{"lastname", "Old"}}, 4);
  const auto contact = TQContact::initWithDictionary(
      JSON::parse(R"({"id":"c1","version":4,"lastname":"New","created":"2020"})"));
  const auto delivery = edit(TQUpdateContactAPIParams::initWithTQContact(*contact));
  ASSERT_NE(delivery->contact, nullptr);
  EXPECT_EQ(describe(*delivery->contact), "version=5 ID=c1 lastName=New");
  EXPECT_EQ(book().contact("c1")->value("lastname", ""), "New");
  const auto requests = server().requests("/cloud/1/contacts/c1");
  ASSERT_EQ(requests.size(), 1U);
  EXPECT_EQ(requests[0].method, "PUT");
  EXPECT_EQ(JSON::parse(requests[0].body).value("version", 0), 4);

  // The same update again replaces a version that is gone.
  const auto stale = edit(TQUpdateContactAPIParams::initWithTQContact(*contact));
  EXPECT_EQ(stale->contact, nullptr);
  EXPECT_EQ(stale->response->statusCode(), 409);
}

TEST_F(ContactEditingTest, DeleteHandsOnEveryOutcomeAndReachesOnlyItsContact) {
  for (const char* id : {"..", "a/b", "x?y#z", "c 1", "other"}) {
    book().put(id, {{"lastname", id}});
  }
  const struct {
    const char* id;
    int status;
    const char* target;
    const char* why;
  } cases[] = {
      {"..", 200, "/cloud/1/contacts/%2E%2E", "a dot segment names that contact"},
      {"a/b", 200, "/cloud/1/contacts/a/b", "a / the host wrote stays"},
      {"x?y#z", 200, "/cloud/1/contacts/x%3Fy%23z", "? and # stay in the path"},
      {"c 1", 200, "/cloud/1/contacts/c%201", "a blank is encoded"},
      {"..", 404, "/cloud/1/contacts/%2E%2E", "404 still reaches the handler"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    server().clearLog();
    const auto response = remove(c.id);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(response->statusCode(), c.status);
    const auto requests = server().requests();
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].method, "DELETE");
    EXPECT_EQ(requests[0].target, c.target);
    EXPECT_FALSE(requests[0].header("Content-Type")) << "a delete has no body";
  }
  EXPECT_EQ(book().size(), 1U);
  EXPECT_TRUE(book().contact("other"));
}

TEST_F(ContactEditingTest, BadRecordsRaiseFromTheFacadeWithNothingSent) {
  const auto facade = TQAPISDK::sharedInstance();
  const auto list = [](int32_t page, int32_t count) {
    auto params = std::make_shared<TQContactAPIParams>();
    params->page = page;
    params->count = count;
    return params;
  };
  const struct {
    std::function<void()> start;
    const char* reason;
  } cases[] = {
      {[&] {
         auto params = std::make_shared<TQUpdateContactAPIParams>();
         facade->updateContact(params, nullptr);
       },
       "contactID <REQUIRED PARAMETER> is missing."},
      {[&] {
         auto params = std::make_shared<TQUpdateContactAPIParams>();
         params->contactID = "c1";
         facade->updateContact(params, nullptr);
       },
       "Version <REQUIRED PARAMETER> is missing."},
      {[&] { facade->deleteContact(std::make_shared<TQDeleteContactAPIParams>(), nullptr); },
       "contactID <REQUIRED PARAMETER> is missing."},
      {[&] { facade->createContact(nullptr, nullptr); }, "All required parameters missing."},
      {[&] { facade->fetchContacts(list(-1, -1), nullptr); },
       "Negative page <REQUIRED PARAMETER> is missing."},
      {[&] { facade->fetchContacts(list(2, -1), nullptr); },
       "Negative count <REQUIRED PARAMETER> is missing."},
      {[&] { facade->fetchContacts(list(2, 0), nullptr); },
       "Positive count required <REQUIRED PARAMETER> is missing."},
      {[&] { facade->fetchContacts(nullptr, nullptr); }, "All required parameters missing."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    try {
      c.start();
      ADD_FAILURE() << "no exception";
    } catch (const TQException& e) {
      EXPECT_EQ(e.reason(), c.reason);
    }
  }
  EXPECT_TRUE(server().requests().empty());
  EXPECT_EQ(facade->apiArray().count(), 0U);

  signIn("");
  try {
    facade->createContact(std::make_shared<TQCreateContactAPIParams>(), nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const TQException& e) {
    EXPECT_EQ(e.reason(), "access_token <REQUIRED PARAMETER> is missing.") << "the token first";
  }
}

}  // namespace
