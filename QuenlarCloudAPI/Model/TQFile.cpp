#include "QuenlarCloudAPI/Model/TQFile.h"

std::span<const TQKeyValueEntry<TQFile>> TQFile::keyValueTable() {
  static constexpr TQKeyValueEntry<TQFile> kTable[] = {
      {"name", [](const TQFile& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQFile& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQFile& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQFile& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQFile& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQFile& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQFile& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQFile& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQFile& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQFile& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQFile& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQFile& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQFile& o) { return TQValueOf(o.tags()); }},
      {"mimeType", [](const TQFile& o) { return TQValueOf(o.mimeType()); }},
      {"locationLocality", [](const TQFile& o) { return TQValueOf(o.locationLocality()); }},
      {"locationCountry", [](const TQFile& o) { return TQValueOf(o.locationCountry()); }},
      {"timelineDate", [](const TQFile& o) { return TQValueOf(o.timelineDate()); }},
      {"file", [](const TQFile& o) { return TQValueOf(o.file()); }},
  };
  return kTable;
}
