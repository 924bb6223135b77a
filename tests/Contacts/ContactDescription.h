// A contact written out as one line of its fields, so that test tables compare whole records:
// "name=value" for each text field that is set, "version=<JSON>", the flags that are true, and
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
  void text(const char* name, const std::optional<std::string>& value) {
    if (value) {
      add(std::string(name) + "=" + *value);
    }
  }
  void raw(const char* name, const std::optional<tq::JSON>& value) {
    if (value) {
      add(std::string(name) + "=" + value->dump());
    }
  }
  void flag(const char* name, bool value) {
    if (value) {
      add(name);
    }
  }
  void add(const std::string& part) { line_ += (line_.empty() ? "" : " ") + part; }
  const std::string& str() const { return line_; }

 private:
  std::string line_;
};

inline void base(Line& line, const TQContactType& entry) {
  line.text("type", entry.type());
  line.raw("indx", entry.indx());
  line.raw("preference", entry.preference());
}

inline std::string entryLine(const TQTelContactType& entry) {
  Line line;
  base(line, entry);
  line.raw("number", entry.number());
  return line.str();
}
inline std::string entryLine(const TQEmailContactType& entry) {
  Line line;
  base(line, entry);
  line.text("email", entry.email());
  return line.str();
}
inline std::string entryLine(const TQInstantMessageType& entry) {
  Line line;
  base(line, entry);
  line.text("address", entry.address());
  return line.str();
}
inline std::string entryLine(const TQAddressType& entry) {
  Line line;
  base(line, entry);
  line.text("city", entry.city());
  line.text("country", entry.country());
  line.text("pobox", entry.pobox());
  line.text("street", entry.street());
  line.text("zipcode", entry.zipcode());
  line.text("apartment", entry.apartment());
  line.text("state", entry.state());
  return line.str();
}

template <class Entry>
void list(Line& line, const char* name,
          const std::optional<std::vector<std::shared_ptr<Entry>>>& entries) {
  if (!entries) {
    return;
  }
  std::string text = std::string(name) + "=[";
  for (size_t i = 0; i < entries->size(); ++i) {
    text += (i == 0 ? "" : ", ") + entryLine(*(*entries)[i]);
  }
  line.add(text + "]");
}

inline std::string describe(const TQContact& c) {
  Line line;
  line.raw("version", c.version());
  line.text("ID", c.ID());
  line.text("namePrefix", c.namePrefix());
  line.text("nameSuffix", c.nameSuffix());
  line.text("nickname", c.nickname());
  line.text("firstName", c.firstName());
  line.text("lastName", c.lastName());
  line.text("middleName", c.middleName());
  line.text("note", c.note());
  line.text("birthday", c.birthday());
  line.text("anniversary", c.anniversary());
  line.text("spouse", c.spouse());
  line.text("children", c.children());
  line.text("profession", c.profession());
  line.text("assistant", c.assistant());
  line.text("relationship", c.relationship());
  line.text("maritalStatus", c.maritalStatus());
  line.text("gender", c.gender());
  line.text("source", c.source());
  line.text("created", c.created());
  line.text("modified", c.modified());
  line.text("jobTitle", c.jobTitle());
  line.text("orgName", c.orgName());
  line.text("orgUnit", c.orgUnit());
  line.flag("incaseOfEmergency", c.incaseOfEmergency());
  line.text("photoReference", c.photoReference());
  line.raw("photo", c.photo());
  line.flag("favorite", c.favorite());
  list(line, "tel", c.telphones());
  list(line, "email", c.emails());
  list(line, "address", c.addresses());
  list(line, "im", c.imArray());
  return line.str();
}

// The contacts' values at one field, in order, for comparing orders.
inline std::vector<std::string> lastNames(const std::vector<std::shared_ptr<TQContact>>& contacts) {
  std::vector<std::string> names;
  for (const auto& contact : contacts) {
    names.push_back(contact->lastName().value_or("-"));
  }
  return names;
}

inline std::vector<std::string> ids(const std::vector<std::shared_ptr<TQContact>>& contacts) {
  std::vector<std::string> result;
  for (const auto& contact : contacts) {
    result.push_back(contact->ID().value_or("-"));
  }
  return result;
}

}  // namespace contacttest
