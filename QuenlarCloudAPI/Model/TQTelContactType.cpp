#include "QuenlarCloudAPI/Model/TQTelContactType.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"

std::shared_ptr<TQTelContactType> TQTelContactType::initWithDictionary(const tq::JSON& dictionary) {
  std::shared_ptr<TQTelContactType> entry(new TQTelContactType());
  entry->readDictionary(dictionary);
  entry->number_ = TQContactReading::raw(TQJSONReading::member(dictionary, "number"));
  return entry;
}
