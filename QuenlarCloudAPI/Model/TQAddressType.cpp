#include "QuenlarCloudAPI/Model/TQAddressType.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"

std::shared_ptr<TQAddressType> TQAddressType::initWithDictionary(const tq::JSON& dictionary) {
  std::shared_ptr<TQAddressType> entry(new TQAddressType());
  entry->readDictionary(dictionary);
  const auto text = [&dictionary](const char* key) {
    return TQContactReading::text(TQJSONReading::member(dictionary, key));
  };
  entry->city_ = text("city");
  entry->country_ = text("country");
  entry->pobox_ = text("pobox");
  entry->street_ = text("street");
  entry->zipcode_ = text("zipcode");
  entry->apartment_ = text("apartment");
  entry->state_ = text("state");
  return entry;
}
