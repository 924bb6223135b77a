// The contact record read from server JSON, the contact body written from a record, and the
// listing's local sort, all without a server.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Contact_API/TQAddressContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQContactSort.h"
#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQIMContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQTelContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"
#include "tests/Contacts/ContactDescription.h"

namespace {

using contacttest::describe;
using contacttest::fieldOf;
using Names = std::vector<std::string>;

std::shared_ptr<TQContact> contact(const std::string& json) {
  return TQContact::initWithDictionary(tq::JSON::parse(json));
}

TEST(ContactRecordTest, ReadsFullAndSparseContacts) {
  const struct {
    const char* json;
    const char* line;
    const char* why;
  } cases[] = {
      {R"({"version":3,"id":"c1","nameprefix":"Dr","namesuffix":"Jr","nickname":"Al",
           "firstname":"Alan","lastname":"Turing","middlename":"M","note":"n","birthday":"1912-06-23",
           "anniversary":"a","spouse":"s","children":"c","profession":"p","assistant":"as",
           "relationship":"r","maritalStatus":"single","gender":"m","source":"src",
           "created":"2020","modified":"2021","jobtitle":"jt","orgname":"o","orgunit":"ou",
           "incaseofemergency":true,"photoreference":"ref","photo":[1,2],"favorite":1,
           "tel":[{"type":"home","indx":1,"preference":2,"number":5551234}],
           "email":[{"type":"work","address":"a@b.test","email":"ignored"}],
           "address":[{"type":"home","city":"C","country":"K","pobox":"P","street":"S",
                       "zipcode":"Z","apartment":"A","state":"ST"}],
           "im":[{"type":"chat","indx":4,"address":"al@im"}]})",
       "version=3 ID=c1 namePrefix=Dr nameSuffix=Jr nickname=Al firstName=Alan lastName=Turing "
       "middleName=M note=n birthday=1912-06-23 anniversary=a spouse=s children=c profession=p "
       "assistant=as relationship=r maritalStatus=single gender=m source=src created=2020 "
       "modified=2021 jobTitle=jt orgName=o orgUnit=ou incaseOfEmergency photoReference=ref "
       "photo=[1,2] favorite tel=[type=home indx=1 preference=2 number=5551234] "
       "email=[type=work email=a@b.test] address=[type=home city=C country=K pobox=P street=S "
       "zipcode=Z apartment=A state=ST] im=[type=chat indx=4 address=al@im]",
       "every field; the e-mail address comes from \"address\""},
      {"{}", "", "nothing: every field nil, both flags NO, every list nil"},
      {R"({"id":1234,"version":7})", "version=7 ID=1234", "a numeric id becomes its digits"},
      {R"({"id":18446744073709551615})", "ID=18446744073709551615", "an id past int64 keeps all"},
      {R"({"version":"7a"})", "version=\"7a\"", "a text version stays a text"},
      {R"({"tel":[],"email":[],"im":[],"address":[]})", "tel=[] email=[] address=[] im=[]",
       "empty lists stay empty lists, not nil"},
      {R"({"tel":{"number":"555"}})", "tel=[number=\"555\"]", "a single object is a list of one"},
      {R"({"email":[1,"x",null,{"address":"a@b"},[]]})", "email=[email=a@b]",
       "elements that are not objects are skipped"},
      {R"({"tel":"555","im":null})", "", "a list member holding no list reads as absent"},
      {R"({"firstname":null,"lastname":"L","version":null})", "lastName=L",
       "a null text or number is nil"},
      {R"({"maritalstatus":"married"})", "maritalStatus=married",
       "the lower-case key that bodies are written with is read too"},
      {R"({"maritalstatus":"lower","maritalStatus":"camel"})", "maritalStatus=camel",
       "the camel-case key wins, whichever comes first"},
      {R"({"favorite":" +0001","incaseofemergency":"-1"})", "incaseOfEmergency favorite",
       "blanks, a sign and zeros are skipped before a non-zero digit"},
      {R"({"favorite":"0x1","incaseofemergency":"no"})", "", "0x1 and no are NO"},
      {R"({"favorite":"yes","incaseofemergency":"True"})", "incaseOfEmergency favorite",
       "Y and T are YES"},
      {R"({"favorite":0,"incaseofemergency":false})", "", "zero and false are NO"},
      {R"([{"id":"x"}])", "", "an answer that is not an object gives a contact of nils"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(describe(*contact(c.json)), c.line);
  }
}

std::shared_ptr<TQCreateContactAPIParams> fresh() {
  return std::make_shared<TQCreateContactAPIParams>();
}

TEST(ContactRecordTest, WritesContactBodies) {
  const struct {
    std::function<std::shared_ptr<TQCreateContactAPIParams>()> record;
    const char* body;
    const char* why;
  } cases[] = {
      {fresh, R"({"incaseofemergency":false,"favorite":false})", "a fresh record: flags only"},
      {[] {
         auto r = fresh();
         r->firstName = "";
         r->orgname = "O";
         r->orgUnit = "U";
         r->maritalStatus = "m";
         r->favorite = true;
         return r;
       },
       R"({"firstname":"","orgname":"O","orgunit":"U","maritalstatus":"m",)"
       R"("incaseofemergency":false,"favorite":true})",
       "an empty text is sent; lower-case keys"},
      {[] {
         auto r = fresh();
         r->telephone.emplace();
         return r;
       },
       R"({"incaseofemergency":false,"favorite":false,"tel":[]})", "an empty list is sent as []"},
      {[] {
         auto r = fresh();
         auto im = std::make_shared<TQIMContactAPIParams>();
         im->type = "chat";
         im->indx = 3;
         im->address = "a@im";
         im->preference = "1";
         r->im = {{im, nullptr}};
         return r;
       },
       R"({"incaseofemergency":false,"favorite":false,)"
       R"("im":[{"type":"chat","address":"a@im","preference":"1"}]})",
       "no indx in im elements; a text preference stays a text; null entries left out"},
      {[] {
         return TQCreateContactAPIParams::initWithTQContact(*contact(
             R"({"id":"c1","version":4,"jobtitle":"Eng","created":"x","photo":[1],
                 "tel":[{"type":"home","indx":1,"number":555}],
                 "address":[{"type":"work","state":"CA","city":"SF"}]})"));
       },
       R"({"jobtitle":"Eng","incaseofemergency":false,"favorite":false,)"
       R"("tel":[{"number":555,"indx":1,"type":"home"}],)"
       R"("address":[{"type":"work","city":"SF","state":"CA"}]})",
       "from a contact: no id, version, created or photo"},
      {[]() -> std::shared_ptr<TQCreateContactAPIParams> {
         return TQUpdateContactAPIParams::initWithTQContact(
             *contact(R"({"id":"c1","version":4,"maritalStatus":"single"})"));
       },
       R"({"maritalstatus":"single","incaseofemergency":false,"favorite":false,"version":4})",
       "an update carries the contact's version"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.record()->contactBody().dump(), c.body);
  }
}

TEST(ContactRecordTest, LocalSort) {
  const std::vector<std::shared_ptr<TQContact>> contacts = {
      contact(R"({"id":"3","lastname":"beta","version":10,"favorite":false})"),
      contact(R"({"id":"1","lastname":"Alpha","version":2,"favorite":true})"),
      contact(R"({"id":"2","lastname":"alpha2","version":1,"favorite":false})"),
      contact(R"({"id":"4","lastname":"Gamma","version":"9","favorite":true})"),
      contact(R"({"id":"5"})"),
  };
  const Names unsorted = {"beta", "Alpha", "alpha2", "Gamma", "-"};
  const struct {
    std::optional<std::string> sort;
    Names order;
    const char* why;
  } cases[] = {
      {std::nullopt, unsorted, "no sort: the server's order"},
      {"lastname+asc", {"-", "Alpha", "alpha2", "beta", "Gamma"}, "case ignored; nil first"},
      {"lastname+desc", {"Gamma", "beta", "alpha2", "Alpha", "-"}, "descending: nil last"},
      {"lastname", {"-", "Alpha", "alpha2", "beta", "Gamma"}, "no + sorts ascending"},
      {"id+desc", {"-", "Gamma", "beta", "alpha2", "Alpha"}, "id maps to ID"},
      {"favorite+asc", {"Alpha", "Gamma", "beta", "alpha2", "-"}, "ascending: favorites first"},
      {"favorite+desc", {"beta", "alpha2", "-", "Alpha", "Gamma"}, "descending: favorites last"},
      {"version+asc",
       {"-", "alpha2", "Alpha", "beta", "Gamma"},
       "numbers as numbers, after nil and before text"},
      {"", unsorted, "an empty sort leaves the list"},
      {"+asc", unsorted, "no key leaves the list"},
      {"nick+asc", unsorted, "an unknown key leaves the list"},
      {"photo+asc", unsorted, "a key that is not sortable leaves the list"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TQContactAPIParams params;
    params.sort = c.sort;
    EXPECT_EQ(fieldOf(TQContactSort::sortedContacts(contacts, params), &TQContact::lastName),
              c.order);
  }
}

TEST(ContactRecordTest, SortKeysAndTheirDescriptions) {
  const struct {
    int32_t key;
    bool ascending;
    std::optional<std::string> sort;
    std::optional<std::string> description;
  } cases[] = {
      {TQContactSortKeyFirstName, true, "firstname+asc",
       R"({"sortType":"firstName","sortOrder":true})"},
      {TQContactSortKeyLastName, false, "lastname+desc",
       R"({"sortType":"lastName","sortOrder":false})"},
      {TQContactSortKeyCreated, true, "created+asc", R"({"sortType":"created","sortOrder":true})"},
      {TQContactSortKeyModified, true, "modified+asc",
       R"({"sortType":"modified","sortOrder":true})"},
      {TQContactSortKeyFavorite, true, "favorite+asc",
       R"({"sortType":"favorite","sortOrder":true})"},
      {TQContactSortKeyVersion, false, "version+desc",
       R"({"sortType":"version","sortOrder":false})"},
      {TQContactSortKeyID, true, "id+asc", R"({"sortType":"ID","sortOrder":true})"},
      {7, true, std::nullopt, std::nullopt},
      {-1, true, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    TQContactAPIParams params;
    params.setSortKey(static_cast<TQContactSortKey>(c.key), c.ascending);
    EXPECT_EQ(params.sort, c.sort) << "keys outside the seven change nothing";
    const auto description = params.getSortKeyWithValue();
    EXPECT_EQ(description ? std::optional(description->dump()) : std::nullopt, c.description);
  }
  TQContactAPIParams params;
  params.setQueryValue("Smith", "lastname");
  params.setQueryValue("Jo", "firstname");
  EXPECT_EQ(params.query, "firstname:Jo") << "a query term replaces the earlier one";
}

}  // namespace
