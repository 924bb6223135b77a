#include "QuenlarCloudAPI/API/Contact_API/TQUpdateContactAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Model/TQContact.h"

std::shared_ptr<TQUpdateContactAPIParams> TQUpdateContactAPIParams::initWithTQContact(
    const TQContact& contact) {
  auto record = std::make_shared<TQUpdateContactAPIParams>();
  record->takeContact(contact);
  record->contactID = contact.ID().value_or("");
  record->version = contact.version();
  return record;
}

tq::JSON TQUpdateContactAPIParams::contactBody() const {
  tq::JSON body = TQCreateContactAPIParams::contactBody();
  if (version) {
    body["version"] = *version;
  }
  return body;
}

bool TQUpdateContactAPIParams::validateParameters() const {
  TQCreateContactAPIParams::validateParameters();
  if (contactID.empty()) {
    throwMissingParameterException(TQLocalizedString("contactID"));
  }
  if (!version) {
    throwMissingParameterException(TQLocalizedString("Version"));
  }
  return true;
}
