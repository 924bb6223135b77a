#include "QuenlarCloudAPI/Model/TQPhoto.h"

std::span<const TQKeyValueEntry<TQPhoto>> TQPhoto::keyValueTable() {
  static constexpr TQKeyValueEntry<TQPhoto> kTable[] = {
      {"name", [](const TQPhoto& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQPhoto& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQPhoto& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQPhoto& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQPhoto& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQPhoto& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQPhoto& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQPhoto& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQPhoto& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQPhoto& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQPhoto& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQPhoto& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQPhoto& o) { return TQValueOf(o.tags()); }},
      {"mimeType", [](const TQPhoto& o) { return TQValueOf(o.mimeType()); }},
      {"locationLocality", [](const TQPhoto& o) { return TQValueOf(o.locationLocality()); }},
      {"locationCountry", [](const TQPhoto& o) { return TQValueOf(o.locationCountry()); }},
      {"timelineDate", [](const TQPhoto& o) { return TQValueOf(o.timelineDate()); }},
      {"file", [](const TQPhoto& o) { return TQValueOf(o.file()); }},
      {"capturedDate", [](const TQPhoto& o) { return TQValueOf(o.capturedDate()); }},
      {"height", [](const TQPhoto& o) { return TQValueOf(o.height()); }},
      {"width", [](const TQPhoto& o) { return TQValueOf(o.width()); }},
      {"geoLatitude", [](const TQPhoto& o) { return TQValueOf(o.geoLatitude()); }},
      {"geoLongitude", [](const TQPhoto& o) { return TQValueOf(o.geoLongitude()); }},
  };
  return kTable;
}
