#include "QuenlarCloudAPI/Model/TQVideo.h"

std::span<const TQKeyValueEntry<TQVideo>> TQVideo::keyValueTable() {
  static constexpr TQKeyValueEntry<TQVideo> kTable[] = {
      {"name", [](const TQVideo& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQVideo& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQVideo& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQVideo& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQVideo& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQVideo& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQVideo& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQVideo& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQVideo& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQVideo& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQVideo& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQVideo& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQVideo& o) { return TQValueOf(o.tags()); }},
      {"mimeType", [](const TQVideo& o) { return TQValueOf(o.mimeType()); }},
      {"locationLocality", [](const TQVideo& o) { return TQValueOf(o.locationLocality()); }},
      {"locationCountry", [](const TQVideo& o) { return TQValueOf(o.locationCountry()); }},
      {"timelineDate", [](const TQVideo& o) { return TQValueOf(o.timelineDate()); }},
      {"file", [](const TQVideo& o) { return TQValueOf(o.file()); }},
      {"capturedDate", [](const TQVideo& o) { return TQValueOf(o.capturedDate()); }},
      {"width", [](const TQVideo& o) { return TQValueOf(o.width()); }},
      {"geoLatitude", [](const TQVideo& o) { return TQValueOf(o.geoLatitude()); }},
      {"geoLongitude", [](const TQVideo& o) { return TQValueOf(o.geoLongitude()); }},
      {"album", [](const TQVideo& o) { return TQValueOf(o.album()); }},
      {"artist", [](const TQVideo& o) { return TQValueOf(o.artist()); }},
      {"genre", [](const TQVideo& o) { return TQValueOf(o.genre()); }},
      {"duration", [](const TQVideo& o) { return TQValueOf(o.duration()); }},
      {"title", [](const TQVideo& o) { return TQValueOf(o.title()); }},
  };
  return kTable;
}
