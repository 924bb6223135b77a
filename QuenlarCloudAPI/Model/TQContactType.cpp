#include "QuenlarCloudAPI/Model/TQContactType.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"

std::shared_ptr<TQContactType> TQContactType::initWithDictionary(const tq::JSON& dictionary) {
  std::shared_ptr<TQContactType> entry(new TQContactType());
  entry->readDictionary(dictionary);
  return entry;
}

void TQContactType::readDictionary(const tq::JSON& dictionary) {
  type_ = TQContactReading::text(TQJSONReading::member(dictionary, "type"));
  indx_ = TQContactReading::raw(TQJSONReading::member(dictionary, "indx"));
  preference_ = TQContactReading::raw(TQJSONReading::member(dictionary, "preference"));
}
