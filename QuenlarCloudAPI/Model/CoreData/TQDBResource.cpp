#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

void TQDBResource::loadFromDictionary(const tq::JSON& dictionary) {
  setValues(NSDictionary_TQResource::resourceValues(dictionary));
}

TQResourceValues TQDBResource::values() const {
  refreshIfStale();
  std::lock_guard lock(mutex_);
  return values_;
}

void TQDBResource::setValues(const TQResourceValues& values) {
  {
    std::lock_guard lock(mutex_);
    values_ = values;
    values_.immutable = false;
  }
  didChange();
}

std::vector<tq::Value> TQDBResource::rowValuesLocked() const {
  const auto attributes = TQAttributeRegistry::attributesOfEntity(kEntityName);
  std::vector<tq::Value> row;
  row.reserve(attributes.size());
  for (const TQAttribute& attribute : attributes) {
    row.push_back(attribute.valueOf(values_));
  }
  return row;
}

void TQDBResource::setRowValuesLocked(const std::vector<tq::Value>& values) {
  const auto attributes = TQAttributeRegistry::attributesOfEntity(kEntityName);
  for (size_t i = 0; i < attributes.size() && i < values.size(); ++i) {
    attributes[i].setValue(values_, values[i]);
  }
}

void TQDBResource::readRowLocked(const tq::SQLiteStatement& statement, int first) {
  int column = first;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity(kEntityName)) {
    attribute.readColumn(values_, statement, column++);
  }
}
