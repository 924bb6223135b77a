// TQUpdateContactAPIParams: the record of replacing a contact: the contact body of
// TQCreateContactAPIParams, the contact's identifier and the version it replaces.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQCreateContactAPIParams.h"

class TQUpdateContactAPIParams : public TQCreateContactAPIParams {
 public:
  TQUpdateContactAPIParams() = default;

  // initWithTQContact() of the create record, then the contact's identifier and version.
  static std::shared_ptr<TQUpdateContactAPIParams> initWithTQContact(const TQContact& contact);

  // The contact to replace; empty means none.
  std::string contactID;
  // The version being replaced, sent as the body's "version" as given.
  std::optional<tq::JSON> version;

  // The create body with "version".
  tq::JSON contactBody() const override;

  // In this order: the access token; an empty contactID (key "contactID"); a nil version (key
  // "Version").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQUpdateContactAPIParams>();
  }
};
