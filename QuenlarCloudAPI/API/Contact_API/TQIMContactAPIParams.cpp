#include "QuenlarCloudAPI/API/Contact_API/TQIMContactAPIParams.h"

#include "QuenlarCloudAPI/Model/TQInstantMessageType.h"

std::shared_ptr<TQIMContactAPIParams> TQIMContactAPIParams::initWithTQInstantMessageType(
    const TQInstantMessageType& entry) {
  auto record = std::make_shared<TQIMContactAPIParams>();
  record->takeContactType(entry);
  record->address = entry.address();
  return record;
}

tq::JSON TQIMContactAPIParams::bodyElement() const {
  tq::JSON element = tq::JSON::object();
  TQAddBodyMember(element, "type", type);
  TQAddBodyMember(element, "address", address);
  TQAddBodyMember(element, "preference", preference);
  return element;
}
