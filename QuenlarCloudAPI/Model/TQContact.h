// TQContact: one contact of the cloud address book, read from a contact object of the server's
// JSON: 28 scalar fields and four lists of entries (telephones, e-mail addresses, instant-message
// addresses, postal addresses). Immutable once made, so contacts are built, sorted and handed
// over on different threads freely. To change a contact, a host makes a TQUpdateContactAPIParams
// from it.
//
// Text fields take the text form of their member (a number becomes its decimal text) and are nil
// when the member is absent or null; `version` and `photo` keep the value as the server sent it;
// the two flags follow the truth-value rules (absent is false). An entry list is nil when its
// member is absent, empty for [], and a single object where a list belongs counts as a list of
// one; list elements that are not objects are skipped.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQAddressType;
class TQEmailContactType;
class TQInstantMessageType;
class TQTelContactType;

class TQContact {
 public:
  TQContact(const TQContact&) = delete;
  TQContact& operator=(const TQContact&) = delete;
  ~TQContact();

  // The contact of one contact object, read in one pass over its members. The marital status is
  // read from "maritalStatus", or from "maritalstatus" (the key contact bodies are written with)
  // when the former is absent. Never nullptr; a value that is not an object gives a contact of
  // nils.
  static std::shared_ptr<TQContact> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<tq::JSON>& version() const { return version_; }
  const std::optional<std::string>& ID() const { return ID_; }
  const std::optional<std::string>& namePrefix() const { return namePrefix_; }
  const std::optional<std::string>& nameSuffix() const { return nameSuffix_; }
  const std::optional<std::string>& nickname() const { return nickname_; }
  const std::optional<std::string>& firstName() const { return firstName_; }
  const std::optional<std::string>& lastName() const { return lastName_; }
  const std::optional<std::string>& middleName() const { return middleName_; }
  const std::optional<std::string>& note() const { return note_; }
  const std::optional<std::string>& birthday() const { return birthday_; }
  const std::optional<std::string>& anniversary() const { return anniversary_; }
  const std::optional<std::string>& spouse() const { return spouse_; }
  const std::optional<std::string>& children() const { return children_; }
  const std::optional<std::string>& profession() const { return profession_; }
  const std::optional<std::string>& assistant() const { return assistant_; }
  const std::optional<std::string>& relationship() const { return relationship_; }
  const std::optional<std::string>& maritalStatus() const { return maritalStatus_; }
  const std::optional<std::string>& gender() const { return gender_; }
  const std::optional<std::string>& source() const { return source_; }
  const std::optional<std::string>& created() const { return created_; }
  const std::optional<std::string>& modified() const { return modified_; }
  const std::optional<std::string>& jobTitle() const { return jobTitle_; }
  const std::optional<std::string>& orgName() const { return orgName_; }
  const std::optional<std::string>& orgUnit() const { return orgUnit_; }
  bool incaseOfEmergency() const { return incaseOfEmergency_; }
  const std::optional<std::string>& photoReference() const { return photoReference_; }
  const std::optional<tq::JSON>& photo() const { return photo_; }
  bool favorite() const { return favorite_; }
  const std::optional<std::vector<std::shared_ptr<TQTelContactType>>>& telphones() const {
    return telphones_;
  }
  const std::optional<std::vector<std::shared_ptr<TQEmailContactType>>>& emails() const {
    return emails_;
  }
  const std::optional<std::vector<std::shared_ptr<TQAddressType>>>& addresses() const {
    return addresses_;
  }
  const std::optional<std::vector<std::shared_ptr<TQInstantMessageType>>>& imArray() const {
    return imArray_;
  }

  // Key-value table for sorting: every field above but `photo` and the four lists, under its own
  // name. `version` yields a number as a number (so versions sort numerically), a text as text.
  static std::span<const TQKeyValueEntry<TQContact>> keyValueTable();

 private:
  struct Field;
  TQContact();
  // How each member of a contact object is taken, by key.
  static const Field* fieldForKey(std::string_view key);

  std::optional<tq::JSON> version_;
  std::optional<std::string> ID_;
  std::optional<std::string> namePrefix_;
  std::optional<std::string> nameSuffix_;
  std::optional<std::string> nickname_;
  std::optional<std::string> firstName_;
  std::optional<std::string> lastName_;
  std::optional<std::string> middleName_;
  std::optional<std::string> note_;
  std::optional<std::string> birthday_;
  std::optional<std::string> anniversary_;
  std::optional<std::string> spouse_;
  std::optional<std::string> children_;
  std::optional<std::string> profession_;
  std::optional<std::string> assistant_;
  std::optional<std::string> relationship_;
  std::optional<std::string> maritalStatus_;
  std::optional<std::string> gender_;
  std::optional<std::string> source_;
  std::optional<std::string> created_;
  std::optional<std::string> modified_;
  std::optional<std::string> jobTitle_;
  std::optional<std::string> orgName_;
  std::optional<std::string> orgUnit_;
  bool incaseOfEmergency_ = false;
  std::optional<std::string> photoReference_;
  std::optional<tq::JSON> photo_;
  bool favorite_ = false;
  std::optional<std::vector<std::shared_ptr<TQTelContactType>>> telphones_;
  std::optional<std::vector<std::shared_ptr<TQEmailContactType>>> emails_;
  std::optional<std::vector<std::shared_ptr<TQAddressType>>> addresses_;
  std::optional<std::vector<std::shared_ptr<TQInstantMessageType>>> imArray_;
};
