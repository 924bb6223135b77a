#include "QuenlarCloudAPI/Model/TQResourceItem.h"

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

std::shared_ptr<TQResourceItem> TQResourceItem::initWithDict(const tq::JSON& dict) {
  return makeWithDict<TQResourceItem>(dict);
}

std::shared_ptr<TQResourceItem> TQResourceItem::initWithDBResourceID(
    const TQManagedObjectID& dbResourceID) {
  return makeWithDBResourceID<TQResourceItem>(dbResourceID);
}

void TQResourceItem::loadDict(const tq::JSON& dict) {
  binding_.assign(NSDictionary_TQResource::resourceValues(dict));
}

void TQResourceItem::bindToRow(const TQManagedObjectID& dbResourceID) {
  binding_.bindToRow(dbResourceID);
}

std::span<const TQKeyValueEntry<TQResourceItem>> TQResourceItem::keyValueTable() {
  static constexpr TQKeyValueEntry<TQResourceItem> kTable[] = {
      {"name", [](const TQResourceItem& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQResourceItem& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQResourceItem& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQResourceItem& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQResourceItem& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQResourceItem& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQResourceItem& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQResourceItem& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQResourceItem& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQResourceItem& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQResourceItem& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQResourceItem& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQResourceItem& o) { return TQValueOf(o.tags()); }},
  };
  return kTable;
}
