// TQResourceValues: the typed values of one file or folder: the 32 attributes of a stored
// resource row, under the row's attribute names, plus the resource object's `immutable` flag.
//
// One value is filled from a server resource object by NSDictionary_TQResource::resourceValues
// (the one place that reads the server's keys) and is shared by the records, the item tree and
// the local store. std::nullopt stands for nil. A plain value; copy it freely between threads.
#pragma once

#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/TQNumber.h"
#include "QuenlarCloudAPI/Platform/Value.h"

struct TQResourceValues {
  std::optional<std::string> album;
  std::optional<std::string> artist;
  std::optional<tq::Date> capturedDate;
  std::optional<std::string> checkSum;
  std::optional<std::string> contentToken;
  std::optional<std::string> contentType;
  std::optional<TQNumber> count;
  std::optional<tq::Date> creationDate;
  std::optional<TQNumber> deleted;
  std::optional<TQNumber> duration;
  std::optional<std::string> extension;
  std::optional<bool> file;
  std::optional<std::string> fullPath;
  std::optional<std::string> genre;
  std::optional<TQNumber> geoLatitude;
  std::optional<TQNumber> geoLongitude;
  std::optional<TQNumber> height;
  std::optional<std::string> itemuid;
  std::optional<std::string> locationCountry;
  std::optional<std::string> locationLocality;
  std::optional<std::string> locationRegion;
  std::optional<std::string> mimeType;
  std::optional<std::string> name;
  std::optional<std::string> parentPath;
  std::optional<TQNumber> size;
  std::optional<tq::Date> timelineDate;
  std::optional<std::string> title;
  std::optional<TQNumber> version;
  std::optional<tq::Date> versionCreated;
  std::optional<TQNumber> width;
  std::optional<std::string> uri;
  std::optional<std::string> tags;

  // Not an attribute of the stored row: a row has no such column, so bound records answer false.
  bool immutable = false;

  friend bool operator==(const TQResourceValues&, const TQResourceValues&) = default;
};

// The tq::Value of one attribute: std::monostate for nil, a bool, int64_t or double for numbers,
// text, or a date.
tq::Value TQValueOf(const std::optional<std::string>& value);
tq::Value TQValueOf(const std::optional<TQNumber>& value);
tq::Value TQValueOf(const std::optional<bool>& value);
tq::Value TQValueOf(const std::optional<tq::Date>& value);
inline tq::Value TQValueOf(bool value) { return value; }
