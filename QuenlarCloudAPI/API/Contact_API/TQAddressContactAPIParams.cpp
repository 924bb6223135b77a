#include "QuenlarCloudAPI/API/Contact_API/TQAddressContactAPIParams.h"

#include "QuenlarCloudAPI/Model/TQAddressType.h"

std::shared_ptr<TQAddressContactAPIParams> TQAddressContactAPIParams::initWithTQAddressType(
    const TQAddressType& entry) {
  auto record = std::make_shared<TQAddressContactAPIParams>();
  record->takeContactType(entry);
  record->city = entry.city();
  record->country = entry.country();
  record->pobox = entry.pobox();
  record->street = entry.street();
  record->zipcode = entry.zipcode();
  record->apartment = entry.apartment();
  record->state = entry.state();
  return record;
}

tq::JSON TQAddressContactAPIParams::bodyElement() const {
  tq::JSON element = tq::JSON::object();
  TQAddBodyMember(element, "type", type);
  TQAddBodyMember(element, "indx", indx);
  TQAddBodyMember(element, "pobox", pobox);
  TQAddBodyMember(element, "street", street);
  TQAddBodyMember(element, "apartment", apartment);
  TQAddBodyMember(element, "city", city);
  TQAddBodyMember(element, "state", state);
  TQAddBodyMember(element, "zipcode", zipcode);
  TQAddBodyMember(element, "country", country);
  TQAddBodyMember(element, "preference", preference);
  return element;
}
