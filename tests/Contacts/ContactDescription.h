// A contact written out as one line of its fields, so that test tables compare whole records:
// "name=value" for each text field that is set, raw numbers as JSON, the flags that are true, and
// each entry list that is not nil as "tel=[...]" with its entries' set fields.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/TQAddressType.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Model/TQEmailContactType.h"
#include "QuenlarCloudAPI/Model/TQInstantMessageType.h"
#include "QuenlarCloudAPI/Model/TQTelContactType.h"

namespace contacttest {

class Line {
 public:
  Line& operator()(const char* name, const std::optional<std::string>& value) {
    return value ? add(std::string(name) + "=" + *value) : *this;
  }
  Line& operator()(const char* name, const std::optional<tq::JSON>& value) {
    return value ? add(std::string(name) + "=" + value->dump()) : *this;
  }
  Line& operator()(const char* name, bool value) { return value ? add(name) : *this; }
  template <class Entry>
  Line& operator()(const char* name,
                   const std::optional<std::vector<std::shared_ptr<Entry>>>& entries) {
    if (!entries) {
      return *this;
    }
    std::string text = std::string(name) + "=[";
    for (size_t i = 0; i < entries->size(); ++i) {
      text += (i == 0 ? "" : ", ") + entryLine(*(*entries)[i]);
    }
    return add(text + "]");
  }
  Line& add(const std::string& part) {
    line_ += (line_.empty() ? "" : " ") + part;
    return *this;
  }
  const std::string& str() const { return line_; }

 private:
  static Line base(const TQContactType& e) {
    Line line;
    line("type", e.type())("indx", e.indx())("preference", e.preference());
    return line;
  }
  static std::string entryLine(const TQTelContactType& e) {
    return base(e)("number", e.number()).str();
  }
  static std::string entryLine(const TQEmailContactType& e) {
    return base(e)("email", e.email()).str();
  }
  static std::string entryLine(const TQInstantMessageType& e) {
    return base(e)("address", e.address()).str();
  }
  static std::string entryLine(const TQAddressType& e) {
    return base(e)("city", e.city())("country", e.country())("pobox", e.pobox())(
               "street", e.street())("zipcode", e.zipcode())("apartment", e.apartment())("state",
                                                                                         e.state())
        .str();
  }

  std::string line_;
};

inline std::string describe(const TQContact& c) {
  Line line;
  line("version", c.version())("ID", c.ID())("namePrefix", c.namePrefix())(
      "nameSuffix", c.nameSuffix())("nickname", c.nickname())("firstName", c.firstName())(
      "lastName", c.lastName())("middleName", c.middleName())("note", c.note())(
      "birthday", c.birthday())("anniversary", c.anniversary())("spouse", c.spouse())(
      "children", c.children())("profession", c.profession())("assistant", c.assistant())(
      "relationship", c.relationship())("maritalStatus", c.maritalStatus())("gender", c.gender())(
      "source", c.source())("created", c.created())("modified", c.modified())(
      "jobTitle", c.jobTitle())("orgName", c.orgName())("orgUnit", c.orgUnit())(
      "incaseOfEmergency", c.incaseOfEmergency())("photoReference", c.photoReference())(
      "photo", c.photo())("favorite", c.favorite())("tel", c.telphones())("email", c.emails())(
      "address", c.addresses())("im", c.imArray());
  return line.str();
}

// One text field of each contact, in order ("-" for nil), for comparing orders.
inline std::vector<std::string> fieldOf(const std::vector<std::shared_ptr<TQContact>>& contacts,
                                        const std::optional<std::string>& (TQContact::*field)()
                                            const) {
  std::vector<std::string> values;
  values.reserve(contacts.size());
  for (const auto& contact : contacts) {
    values.push_back(((*contact).*field)().value_or("-"));
  }
  return values;
}

}  // namespace contacttest
