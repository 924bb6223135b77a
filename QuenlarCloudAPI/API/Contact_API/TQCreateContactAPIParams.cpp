#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPIParams.h"

#include "QuenlarCloudAPI/API/Contact_API/TQAddressContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQEmailContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQIMContactAPIParams.h"
#include "QuenlarCloudAPI/API/Contact_API/TQTelContactAPIParams.h"
#include "QuenlarCloudAPI/Model/TQAddressType.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Model/TQEmailContactType.h"
#include "QuenlarCloudAPI/Model/TQInstantMessageType.h"
#include "QuenlarCloudAPI/Model/TQTelContactType.h"

namespace {

// Entry records made from a contact's entries, one each, in order; nil stays nil.
template <class Record, class Entry>
std::optional<std::vector<std::shared_ptr<Record>>> recordsOf(
    const std::optional<std::vector<std::shared_ptr<Entry>>>& entries,
    std::shared_ptr<Record> (*make)(const Entry&)) {
  if (!entries) {
    return std::nullopt;
  }
  std::vector<std::shared_ptr<Record>> records;
  records.reserve(entries->size());
  for (const auto& entry : *entries) {
    if (entry) {
      records.push_back(make(*entry));
    }
  }
  return records;
}

template <class Record>
void addElements(tq::JSON& body, const char* key,
                 const std::optional<std::vector<std::shared_ptr<Record>>>& records) {
  if (!records) {
    return;
  }
  tq::JSON elements = tq::JSON::array();
  for (const auto& record : *records) {
    if (record) {
      elements.push_back(record->bodyElement());
    }
  }
  body[key] = std::move(elements);
}

}  // namespace

TQCreateContactAPIParams::TQCreateContactAPIParams() = default;
TQCreateContactAPIParams::~TQCreateContactAPIParams() = default;

std::shared_ptr<TQCreateContactAPIParams> TQCreateContactAPIParams::initWithTQContact(
    const TQContact& contact) {
  auto record = std::make_shared<TQCreateContactAPIParams>();
  record->takeContact(contact);
  return record;
}

void TQCreateContactAPIParams::takeContact(const TQContact& contact) {
  firstName = contact.firstName();
  lastName = contact.lastName();
  middleName = contact.middleName();
  namePrefix = contact.namePrefix();
  nameSuffix = contact.nameSuffix();
  nickname = contact.nickname();
  birthday = contact.birthday();
  anniversary = contact.anniversary();
  spouse = contact.spouse();
  children = contact.children();
  orgname = contact.orgName();
  orgUnit = contact.orgUnit();
  jobTitle = contact.jobTitle();
  profession = contact.profession();
  assistant = contact.assistant();
  relationship = contact.relationship();
  gender = contact.gender();
  maritalStatus = contact.maritalStatus();
  source = contact.source();
  note = contact.note();
  incaseOfEmergency = contact.incaseOfEmergency();
  favorite = contact.favorite();
  telephone = recordsOf(contact.telphones(), &TQTelContactAPIParams::initWithTQTelContactType);
  email = recordsOf(contact.emails(), &TQEmailContactAPIParams::initWithTQEmailContactType);
  im = recordsOf(contact.imArray(), &TQIMContactAPIParams::initWithTQInstantMessageType);
  address = recordsOf(contact.addresses(), &TQAddressContactAPIParams::initWithTQAddressType);
}

tq::JSON TQCreateContactAPIParams::contactBody() const {
  tq::JSON body = tq::JSON::object();
  const auto text = [&body](const char* key, const std::optional<std::string>& value) {
    if (value) {
      body[key] = *value;
    }
  };
  text("firstname", firstName);
  text("lastname", lastName);
  text("middlename", middleName);
  text("nameprefix", namePrefix);
  text("namesuffix", nameSuffix);
  text("nickname", nickname);
  text("birthday", birthday);
  text("anniversary", anniversary);
  text("spouse", spouse);
  text("children", children);
  text("orgname", orgname);
  text("orgunit", orgUnit);
  text("jobtitle", jobTitle);
  text("profession", profession);
  text("assistant", assistant);
  text("gender", gender);
  text("relationship", relationship);
  text("maritalstatus", maritalStatus);
  text("source", source);
  text("note", note);
  body["incaseofemergency"] = incaseOfEmergency;
  body["favorite"] = favorite;
  addElements(body, "tel", telephone);
  addElements(body, "email", email);
  addElements(body, "address", address);
  addElements(body, "im", im);
  return body;
}
