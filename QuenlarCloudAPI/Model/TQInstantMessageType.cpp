#include "QuenlarCloudAPI/Model/TQInstantMessageType.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"

std::shared_ptr<TQInstantMessageType> TQInstantMessageType::initWithDictionary(
    const tq::JSON& dictionary) {
  std::shared_ptr<TQInstantMessageType> entry(new TQInstantMessageType());
  entry->readDictionary(dictionary);
  entry->address_ = TQContactReading::text(TQJSONReading::member(dictionary, "address"));
  return entry;
}
