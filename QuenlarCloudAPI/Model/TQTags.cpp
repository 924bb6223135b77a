#include "QuenlarCloudAPI/Model/TQTags.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"

std::shared_ptr<TQTags> TQTags::initWithDictionary(const tq::JSON& dictionary) {
  auto record = std::make_shared<TQTags>();
  record->tags_ = TQJSONReading::description(TQJSONReading::member(dictionary, "Tags"));
  return record;
}
