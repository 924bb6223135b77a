// TQCreateContactAPIParams: the record of creating a contact, and the base of the update's record:
// every field of the contact body. A host fills it field by field or makes it from an existing
// contact. Text fields and entry lists left nil stay out of the body (an empty text or list is
// sent as such); the two flags are always sent. A copy (copy()) carries the access token alone.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

class TQAddressContactAPIParams;
class TQContact;
class TQEmailContactAPIParams;
class TQIMContactAPIParams;
class TQTelContactAPIParams;

class TQCreateContactAPIParams : public TQResourceAPIParams {
 public:
  // Every field nil, both flags false.
  TQCreateContactAPIParams();
  ~TQCreateContactAPIParams() override;

  // The record of `contact`'s names, dates, organisation, notes, flags and entry lists (each
  // entry made into its entry record; a nil list stays nil). Its identifier, version, creation
  // and modification times and photo are not taken.
  static std::shared_ptr<TQCreateContactAPIParams> initWithTQContact(const TQContact& contact);

  std::optional<std::string> firstName;
  std::optional<std::string> lastName;
  std::optional<std::string> middleName;
  std::optional<std::string> namePrefix;
  std::optional<std::string> nameSuffix;
  std::optional<std::string> nickname;
  std::optional<std::string> birthday;
  std::optional<std::string> anniversary;
  std::optional<std::string> spouse;
  std::optional<std::string> children;
  std::optional<std::string> orgname;
  std::optional<std::string> orgUnit;
  std::optional<std::string> jobTitle;
  std::optional<std::string> profession;
  std::optional<std::string> assistant;
  std::optional<std::string> gender;
  std::optional<std::string> relationship;
  std::optional<std::string> maritalStatus;
  std::optional<std::string> source;
  std::optional<std::string> note;
  bool incaseOfEmergency = false;
  bool favorite = false;
  std::optional<std::vector<std::shared_ptr<TQTelContactAPIParams>>> telephone;
  std::optional<std::vector<std::shared_ptr<TQEmailContactAPIParams>>> email;
  std::optional<std::vector<std::shared_ptr<TQAddressContactAPIParams>>> address;
  std::optional<std::vector<std::shared_ptr<TQIMContactAPIParams>>> im;

  // The contact body, a JSON object: the lower-case body key of each non-nil field ("firstname",
  // "orgunit", "maritalstatus", ...), both flags, and "tel", "email", "address" and "im" with one
  // element per entry record (nullptr entries are left out).
  virtual tq::JSON contactBody() const;

 protected:
  // Takes every body field of `contact` (see initWithTQContact()).
  void takeContact(const TQContact& contact);

  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQCreateContactAPIParams>();
  }
};
