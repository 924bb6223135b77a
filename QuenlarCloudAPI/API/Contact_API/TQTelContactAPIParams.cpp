#include "QuenlarCloudAPI/API/Contact_API/TQTelContactAPIParams.h"

#include "QuenlarCloudAPI/Model/TQTelContactType.h"

std::shared_ptr<TQTelContactAPIParams> TQTelContactAPIParams::initWithTQTelContactType(
    const TQTelContactType& entry) {
  auto record = std::make_shared<TQTelContactAPIParams>();
  record->takeContactType(entry);
  record->number = entry.number();
  return record;
}

tq::JSON TQTelContactAPIParams::bodyElement() const {
  tq::JSON element = tq::JSON::object();
  TQAddBodyMember(element, "preference", preference);
  TQAddBodyMember(element, "number", number);
  TQAddBodyMember(element, "indx", indx);
  TQAddBodyMember(element, "type", type);
  return element;
}
