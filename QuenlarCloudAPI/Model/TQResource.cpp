#include "QuenlarCloudAPI/Model/TQResource.h"

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

std::shared_ptr<TQResource> TQResource::initWithDict(const tq::JSON& dict) {
  auto record = std::make_shared<TQResource>();
  record->loadDict(dict);
  return record;
}

std::shared_ptr<TQResource> TQResource::initWithDBResourceID(
    const TQManagedObjectID& dbResourceID) {
  auto record = std::make_shared<TQResource>();
  record->binding_.bindToRow(dbResourceID);
  return record;
}

void TQResource::loadDict(const tq::JSON& dict) {
  binding_.assign(NSDictionary_TQResource::resourceValues(dict));
}

std::span<const TQKeyValueEntry<TQResource>> TQResource::keyValueTable() {
  return resourceKeyValueTable<TQResource>();
}
