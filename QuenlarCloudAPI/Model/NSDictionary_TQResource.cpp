#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <limits>

#include "QuenlarCloudAPI/Platform/DateText.h"

namespace {

using tq::JSON;

constexpr std::string_view kSystemAttributes = "systemAttributes";

const JSON* member(const JSON& object, std::string_view key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

const JSON* systemAttribute(const JSON& object, std::string_view key) {
  const JSON* attributes = member(object, kSystemAttributes);
  return attributes == nullptr ? nullptr : member(*attributes, key);
}

// "sa X, else Y": decided on presence alone, so a null or empty X still wins.
const JSON* systemAttributeElse(const JSON& object, std::string_view saKey,
                                std::string_view topKey) {
  const JSON* value = systemAttribute(object, saKey);
  return value != nullptr ? value : member(object, topKey);
}

std::string compactText(const JSON& value) {
  // Replacing bad UTF-8 keeps dump() from throwing on a value built outside the parser.
  return value.dump(-1, ' ', false, JSON::error_handler_t::replace);
}

}  // namespace

std::optional<tq::Date> TQResourceDateFormatter::dateFromString(std::string_view text) const {
  return tq::dateFromUTCMillisecondsText(text);
}

std::optional<std::string> TQResourceDateFormatter::stringFromDate(tq::Date date) const {
  const int64_t year = tq::utcYear(date);
  if (year < 0 || year > 9999) {
    return std::nullopt;
  }
  return tq::utcMillisecondsText(date);
}

namespace NSDictionary_TQResource {

const TQResourceDateFormatter& apiDateFormatter() {
  static constexpr TQResourceDateFormatter kFormatter;
  return kFormatter;
}

std::optional<std::string> textValue(const JSON* value) {
  if (value == nullptr || value->is_null()) {
    return std::nullopt;
  }
  if (value->is_string()) {
    return value->get_ref<const std::string&>();
  }
  if (const auto number = numberValue(value)) {
    return number->description();
  }
  return compactText(*value);
}

std::string formattedValue(const JSON* value) { return textValue(value).value_or("(null)"); }

std::optional<TQNumber> numberValue(const JSON* value) {
  if (value == nullptr) {
    return std::nullopt;
  }
  switch (value->type()) {
    case JSON::value_t::boolean:
      return TQNumber::boolean(value->get<bool>());
    case JSON::value_t::number_integer:
      return TQNumber::integer(value->get<int64_t>());
    case JSON::value_t::number_unsigned: {
      const auto unsignedValue = value->get<uint64_t>();
      if (unsignedValue <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return TQNumber::integer(static_cast<int64_t>(unsignedValue));
      }
      return TQNumber::real(static_cast<double>(unsignedValue));
    }
    case JSON::value_t::number_float:
      return TQNumber::real(value->get<double>());
    default:
      return std::nullopt;
  }
}

std::optional<tq::Date> dateValue(const JSON* value) {
  if (value == nullptr || !value->is_string()) {
    return std::nullopt;
  }
  return apiDateFormatter().dateFromString(value->get_ref<const std::string&>());
}

bool booleanValue(const JSON* value) {
  if (value == nullptr) {
    return false;
  }
  if (const auto number = numberValue(value)) {
    return number->boolValue();
  }
  if (!value->is_string()) {
    return false;
  }
  const auto& text = value->get_ref<const std::string&>();
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) {
    ++i;
  }
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    ++i;
  }
  while (i < text.size() && text[i] == '0') {
    ++i;
  }
  if (i == text.size()) {
    return false;
  }
  const char c = text[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string stringByDeletingLastPathComponent(std::string_view path) {
  if (path.empty()) {
    return {};
  }
  const bool absolute = path.front() == '/';
  const auto trimTrailingSlashes = [](std::string_view text) {
    while (!text.empty() && text.back() == '/') {
      text.remove_suffix(1);
    }
    return text;
  };
  const std::string_view trimmed = trimTrailingSlashes(path);
  const auto slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) {
    return absolute ? "/" : "";
  }
  const std::string_view parent = trimTrailingSlashes(trimmed.substr(0, slash));
  if (parent.empty()) {
    return absolute ? "/" : "";
  }
  return std::string(parent);
}

std::string pathExtension(std::string_view path) {
  while (!path.empty() && path.back() == '/') {
    path.remove_suffix(1);
  }
  const auto slash = path.rfind('/');
  const std::string_view component =
      slash == std::string_view::npos ? path : path.substr(slash + 1);
  const auto dot = component.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(component.substr(dot + 1));
}

const JSON* album(const JSON& object) { return systemAttributeElse(object, "Album", "album"); }

std::string artist(const JSON& object) {
  return formattedValue(systemAttributeElse(object, "Artist", "artist"));
}

std::optional<tq::Date> capturedDate(const JSON& object) {
  return dateValue(systemAttribute(object, "CaptureDate"));
}

const JSON* checkSum(const JSON& object) { return member(object, "checksum"); }

const JSON* contentType(const JSON& object) { return mimeType(object); }

const JSON* contentToken(const JSON& object) { return member(object, "contentToken"); }

const JSON* countValue(const JSON& object) { return member(object, "count"); }

std::optional<tq::Date> creationDate(const JSON& object) {
  return dateValue(systemAttribute(object, "CreationDate"));
}

const JSON* deleted(const JSON& object) { return member(object, "deleted"); }

const JSON* duration(const JSON& object) { return systemAttribute(object, "Duration"); }

std::optional<std::string> fullPath(const JSON& object) {
  if (const JSON* path = member(object, "path")) {
    return textValue(path);
  }
  const auto parent = parentPath(object);
  const std::string fileName = name(object);
  if (parent && *parent == "/") {
    return "/" + fileName;
  }
  return parent.value_or("(null)") + "/" + fileName;
}

const JSON* genre(const JSON& object) { return systemAttribute(object, "Genre"); }

const JSON* geoLatitude(const JSON& object) { return systemAttribute(object, "GeoLatitude"); }

const JSON* geoLongitude(const JSON& object) { return systemAttribute(object, "GeoLongitude"); }

const JSON* height(const JSON& object) { return systemAttribute(object, "Height"); }

const JSON* itemuid(const JSON& object) { return member(object, "itemuid"); }

const JSON* locationCountry(const JSON& object) {
  return systemAttribute(object, "LocationCountry");
}

const JSON* locationLocality(const JSON& object) {
  return systemAttribute(object, "LocationLocality");
}

const JSON* locationRegion(const JSON& object) { return systemAttribute(object, "LocationRegion"); }

const JSON* mimeType(const JSON& object) {
  return systemAttributeElse(object, "MimeType", "mimeType");
}

std::string name(const JSON& object) {
  const JSON* value = member(object, "name");
  return formattedValue(value != nullptr ? value : member(object, "filename"));
}

std::optional<std::string> parentPath(const JSON& object) {
  if (const JSON* parent = member(object, "parentPath")) {
    return textValue(parent);
  }
  const auto path = textValue(member(object, "path"));
  if (!path) {
    return std::nullopt;
  }
  return stringByDeletingLastPathComponent(*path);
}

const JSON* size(const JSON& object) { return member(object, "size"); }

std::optional<tq::Date> timelineDate(const JSON& object) {
  return dateValue(systemAttribute(object, "TimelineDate"));
}

std::string titleValue(const JSON& object) {
  return formattedValue(systemAttribute(object, "Title"));
}

const JSON* version(const JSON& object) { return member(object, "version"); }

std::optional<tq::Date> versionCreated(const JSON& object) {
  return dateValue(member(object, "versionCreated"));
}

const JSON* width(const JSON& object) { return systemAttribute(object, "Width"); }

bool file(const JSON& object) {
  const auto token = textValue(contentToken(object));
  return token.has_value() && !token->empty();
}

std::string extension(const JSON& object) { return pathExtension(name(object)); }

const JSON* uri(const JSON& object) { return member(object, "uri"); }

std::optional<std::string> tags(const JSON& object) {
  const JSON* value = systemAttribute(object, "Tags");
  if (value == nullptr || value->is_null()) {
    return std::nullopt;
  }
  if (value->is_string()) {
    return value->get_ref<const std::string&>();
  }
  return compactText(*value);
}

bool immutable(const JSON& object) { return booleanValue(member(object, "immutable")); }

TQResourceValues resourceValues(const JSON& object) {
  TQResourceValues values;
  values.album = textValue(album(object));
  values.artist = artist(object);
  values.capturedDate = capturedDate(object);
  values.checkSum = textValue(checkSum(object));
  values.contentToken = textValue(contentToken(object));
  values.contentType = textValue(contentType(object));
  values.count = numberValue(countValue(object));
  values.creationDate = creationDate(object);
  values.deleted = numberValue(deleted(object));
  values.duration = numberValue(duration(object));
  values.name = name(object);
  values.extension = pathExtension(*values.name);
  values.file = file(object);
  values.fullPath = fullPath(object);
  values.genre = textValue(genre(object));
  values.geoLatitude = numberValue(geoLatitude(object));
  values.geoLongitude = numberValue(geoLongitude(object));
  values.height = numberValue(height(object));
  values.itemuid = textValue(itemuid(object));
  values.locationCountry = textValue(locationCountry(object));
  values.locationLocality = textValue(locationLocality(object));
  values.locationRegion = textValue(locationRegion(object));
  values.mimeType = textValue(mimeType(object));
  values.parentPath = parentPath(object);
  values.size = numberValue(size(object));
  values.timelineDate = timelineDate(object);
  values.title = titleValue(object);
  values.version = numberValue(version(object));
  values.versionCreated = versionCreated(object);
  values.width = numberValue(width(object));
  values.uri = textValue(uri(object));
  values.tags = tags(object);
  values.immutable = immutable(object);
  return values;
}

}  // namespace NSDictionary_TQResource
