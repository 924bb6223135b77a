#include "QuenlarCloudAPI/Model/TQFolder.h"

std::span<const TQKeyValueEntry<TQFolder>> TQFolder::keyValueTable() {
  static constexpr TQKeyValueEntry<TQFolder> kTable[] = {
      {"name", [](const TQFolder& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQFolder& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQFolder& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQFolder& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQFolder& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQFolder& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQFolder& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQFolder& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQFolder& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQFolder& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQFolder& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQFolder& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQFolder& o) { return TQValueOf(o.tags()); }},
  };
  return kTable;
}
