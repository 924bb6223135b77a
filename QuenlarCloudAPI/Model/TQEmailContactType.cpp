#include "QuenlarCloudAPI/Model/TQEmailContactType.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"

std::shared_ptr<TQEmailContactType> TQEmailContactType::initWithDictionary(
    const tq::JSON& dictionary) {
  std::shared_ptr<TQEmailContactType> entry(new TQEmailContactType());
  entry->readDictionary(dictionary);
  entry->email_ = TQContactReading::text(TQJSONReading::member(dictionary, "address"));
  return entry;
}
