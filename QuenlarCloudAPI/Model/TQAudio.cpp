#include "QuenlarCloudAPI/Model/TQAudio.h"

std::span<const TQKeyValueEntry<TQAudio>> TQAudio::keyValueTable() {
  static constexpr TQKeyValueEntry<TQAudio> kTable[] = {
      {"name", [](const TQAudio& o) { return TQValueOf(o.name()); }},
      {"size", [](const TQAudio& o) { return TQValueOf(o.size()); }},
      {"versionCreated", [](const TQAudio& o) { return TQValueOf(o.versionCreated()); }},
      {"contentToken", [](const TQAudio& o) { return TQValueOf(o.contentToken()); }},
      {"checkSum", [](const TQAudio& o) { return TQValueOf(o.checkSum()); }},
      {"parentPath", [](const TQAudio& o) { return TQValueOf(o.parentPath()); }},
      {"version", [](const TQAudio& o) { return TQValueOf(o.version()); }},
      {"extension", [](const TQAudio& o) { return TQValueOf(o.extension()); }},
      {"creationDate", [](const TQAudio& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const TQAudio& o) { return TQValueOf(o.deleted()); }},
      {"fullPath", [](const TQAudio& o) { return TQValueOf(o.fullPath()); }},
      {"uri", [](const TQAudio& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const TQAudio& o) { return TQValueOf(o.tags()); }},
      {"mimeType", [](const TQAudio& o) { return TQValueOf(o.mimeType()); }},
      {"locationLocality", [](const TQAudio& o) { return TQValueOf(o.locationLocality()); }},
      {"locationCountry", [](const TQAudio& o) { return TQValueOf(o.locationCountry()); }},
      {"timelineDate", [](const TQAudio& o) { return TQValueOf(o.timelineDate()); }},
      {"file", [](const TQAudio& o) { return TQValueOf(o.file()); }},
      {"album", [](const TQAudio& o) { return TQValueOf(o.album()); }},
      {"artist", [](const TQAudio& o) { return TQValueOf(o.artist()); }},
      {"genre", [](const TQAudio& o) { return TQValueOf(o.genre()); }},
      {"duration", [](const TQAudio& o) { return TQValueOf(o.duration()); }},
      {"title", [](const TQAudio& o) { return TQValueOf(o.title()); }},
  };
  return kTable;
}
