#include "QuenlarCloudAPI/API/Contact_API/TQEmailContactAPIParams.h"

#include "QuenlarCloudAPI/Model/TQEmailContactType.h"

std::shared_ptr<TQEmailContactAPIParams> TQEmailContactAPIParams::initWithTQEmailContactType(
    const TQEmailContactType& entry) {
  auto record = std::make_shared<TQEmailContactAPIParams>();
  record->takeContactType(entry);
  record->address = entry.email();
  return record;
}

tq::JSON TQEmailContactAPIParams::bodyElement() const {
  tq::JSON element = tq::JSON::object();
  TQAddBodyMember(element, "preference", preference);
  TQAddBodyMember(element, "type", type);
  TQAddBodyMember(element, "indx", indx);
  TQAddBodyMember(element, "address", address);
  return element;
}
