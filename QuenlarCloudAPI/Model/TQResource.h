// TQResource: the flat record of one file or folder: the 32 attributes of a resource object side
// by side, plus `immutable`. Built from a server resource object (initWithDict) or bound to a row
// of the local store (initWithDBResourceID), after which its getters read the row.
//
// Setters change the record only, never a stored row; on a bound record the getters go on
// answering the row. A row deleted after binding answers the values last read; an identifier with
// no row answers the record's own values. Getters and setters are safe from any thread; handlers
// never run here. Not copyable: records are shared through std::shared_ptr.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"
#include "QuenlarCloudAPI/Model/TQNumber.h"
#include "QuenlarCloudAPI/Model/TQResourceBinding.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQResource {
 public:
  // A record with every field nil and `immutable` false.
  TQResource() = default;
  virtual ~TQResource() = default;
  TQResource(const TQResource&) = delete;
  TQResource& operator=(const TQResource&) = delete;

  // The record of one resource object; a value that is not an object gives a record of nils.
  static std::shared_ptr<TQResource> initWithDict(const tq::JSON& dict);
  // The record bound to the stored row; `immutable` stays false.
  static std::shared_ptr<TQResource> initWithDBResourceID(const TQManagedObjectID& dbResourceID);

  std::optional<std::string> album() const { return binding_.get(&TQResourceValues::album); }
  void setAlbum(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::album, std::move(value));
  }
  std::optional<std::string> artist() const { return binding_.get(&TQResourceValues::artist); }
  void setArtist(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::artist, std::move(value));
  }
  std::optional<tq::Date> capturedDate() const {
    return binding_.get(&TQResourceValues::capturedDate);
  }
  void setCapturedDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::capturedDate, value);
  }
  std::optional<std::string> checkSum() const { return binding_.get(&TQResourceValues::checkSum); }
  void setCheckSum(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::checkSum, std::move(value));
  }
  std::optional<std::string> contentToken() const {
    return binding_.get(&TQResourceValues::contentToken);
  }
  void setContentToken(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::contentToken, std::move(value));
  }
  std::optional<std::string> contentType() const {
    return binding_.get(&TQResourceValues::contentType);
  }
  void setContentType(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::contentType, std::move(value));
  }
  std::optional<TQNumber> count() const { return binding_.get(&TQResourceValues::count); }
  void setCount(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::count, value); }
  std::optional<tq::Date> creationDate() const {
    return binding_.get(&TQResourceValues::creationDate);
  }
  void setCreationDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::creationDate, value);
  }
  std::optional<TQNumber> deleted() const { return binding_.get(&TQResourceValues::deleted); }
  void setDeleted(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::deleted, value);
  }
  std::optional<TQNumber> duration() const { return binding_.get(&TQResourceValues::duration); }
  void setDuration(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::duration, value);
  }
  std::optional<std::string> extension() const {
    return binding_.get(&TQResourceValues::extension);
  }
  void setExtension(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::extension, std::move(value));
  }
  std::optional<bool> file() const { return binding_.get(&TQResourceValues::file); }
  void setFile(std::optional<bool> value) { binding_.set(&TQResourceValues::file, value); }
  std::optional<std::string> fullPath() const { return binding_.get(&TQResourceValues::fullPath); }
  void setFullPath(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::fullPath, std::move(value));
  }
  std::optional<std::string> genre() const { return binding_.get(&TQResourceValues::genre); }
  void setGenre(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::genre, std::move(value));
  }
  std::optional<TQNumber> geoLatitude() const {
    return binding_.get(&TQResourceValues::geoLatitude);
  }
  void setGeoLatitude(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::geoLatitude, value);
  }
  std::optional<TQNumber> geoLongitude() const {
    return binding_.get(&TQResourceValues::geoLongitude);
  }
  void setGeoLongitude(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::geoLongitude, value);
  }
  std::optional<TQNumber> height() const { return binding_.get(&TQResourceValues::height); }
  void setHeight(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::height, value); }
  std::optional<std::string> itemUID() const { return binding_.get(&TQResourceValues::itemuid); }
  void setItemUID(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::itemuid, std::move(value));
  }
  std::optional<std::string> locationCountry() const {
    return binding_.get(&TQResourceValues::locationCountry);
  }
  void setLocationCountry(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::locationCountry, std::move(value));
  }
  std::optional<std::string> locationLocality() const {
    return binding_.get(&TQResourceValues::locationLocality);
  }
  void setLocationLocality(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::locationLocality, std::move(value));
  }
  std::optional<std::string> locationRegion() const {
    return binding_.get(&TQResourceValues::locationRegion);
  }
  void setLocationRegion(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::locationRegion, std::move(value));
  }
  std::optional<std::string> mimeType() const { return binding_.get(&TQResourceValues::mimeType); }
  void setMimeType(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::mimeType, std::move(value));
  }
  std::optional<std::string> name() const { return binding_.get(&TQResourceValues::name); }
  void setName(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::name, std::move(value));
  }
  std::optional<std::string> parentPath() const {
    return binding_.get(&TQResourceValues::parentPath);
  }
  void setParentPath(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::parentPath, std::move(value));
  }
  std::optional<TQNumber> size() const { return binding_.get(&TQResourceValues::size); }
  void setSize(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::size, value); }
  std::optional<tq::Date> timelineDate() const {
    return binding_.get(&TQResourceValues::timelineDate);
  }
  void setTimelineDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::timelineDate, value);
  }
  std::optional<std::string> title() const { return binding_.get(&TQResourceValues::title); }
  void setTitle(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::title, std::move(value));
  }
  std::optional<TQNumber> version() const { return binding_.get(&TQResourceValues::version); }
  void setVersion(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::version, value);
  }
  std::optional<tq::Date> versionCreated() const {
    return binding_.get(&TQResourceValues::versionCreated);
  }
  void setVersionCreated(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::versionCreated, value);
  }
  std::optional<TQNumber> width() const { return binding_.get(&TQResourceValues::width); }
  void setWidth(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::width, value); }
  std::optional<std::string> uri() const { return binding_.get(&TQResourceValues::uri); }
  void setUri(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::uri, std::move(value));
  }
  std::optional<std::string> tags() const { return binding_.get(&TQResourceValues::tags); }
  void setTags(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::tags, std::move(value));
  }

  // A plain field: the stored row has no such attribute, so binding leaves it alone.
  bool immutable() const { return binding_.held(&TQResourceValues::immutable); }
  void setImmutable(bool value) { binding_.set(&TQResourceValues::immutable, value); }

  std::shared_ptr<TQDBResource> dbResource() const { return binding_.dbResource(); }
  void setDbResource(std::shared_ptr<TQDBResource> row) { binding_.setDbResource(std::move(row)); }
  std::optional<TQManagedObjectID> dbResourceID() const { return binding_.dbResourceID(); }
  void setDbResourceID(std::optional<TQManagedObjectID> rowID) {
    binding_.setDbResourceID(std::move(rowID));
  }

  // Key-value table for sorting by key path: the field names above (and "immutable").
  static std::span<const TQKeyValueEntry<TQResource>> keyValueTable();

 protected:
  // The table above for T, TQResource or a subclass, so each class reads its records as its own.
  template <class T>
  static std::span<const TQKeyValueEntry<T>> resourceKeyValueTable();

  // Fills the fields from a resource object, as initWithDict does.
  void loadDict(const tq::JSON& dict);

 private:
  TQResourceBinding binding_;
};

template <class T>
std::span<const TQKeyValueEntry<T>> TQResource::resourceKeyValueTable() {
  static constexpr TQKeyValueEntry<T> kTable[] = {
      {"album", [](const T& o) { return TQValueOf(o.album()); }},
      {"artist", [](const T& o) { return TQValueOf(o.artist()); }},
      {"capturedDate", [](const T& o) { return TQValueOf(o.capturedDate()); }},
      {"checkSum", [](const T& o) { return TQValueOf(o.checkSum()); }},
      {"contentToken", [](const T& o) { return TQValueOf(o.contentToken()); }},
      {"contentType", [](const T& o) { return TQValueOf(o.contentType()); }},
      {"count", [](const T& o) { return TQValueOf(o.count()); }},
      {"creationDate", [](const T& o) { return TQValueOf(o.creationDate()); }},
      {"deleted", [](const T& o) { return TQValueOf(o.deleted()); }},
      {"duration", [](const T& o) { return TQValueOf(o.duration()); }},
      {"extension", [](const T& o) { return TQValueOf(o.extension()); }},
      {"file", [](const T& o) { return TQValueOf(o.file()); }},
      {"fullPath", [](const T& o) { return TQValueOf(o.fullPath()); }},
      {"genre", [](const T& o) { return TQValueOf(o.genre()); }},
      {"geoLatitude", [](const T& o) { return TQValueOf(o.geoLatitude()); }},
      {"geoLongitude", [](const T& o) { return TQValueOf(o.geoLongitude()); }},
      {"height", [](const T& o) { return TQValueOf(o.height()); }},
      {"itemUID", [](const T& o) { return TQValueOf(o.itemUID()); }},
      {"locationCountry", [](const T& o) { return TQValueOf(o.locationCountry()); }},
      {"locationLocality", [](const T& o) { return TQValueOf(o.locationLocality()); }},
      {"locationRegion", [](const T& o) { return TQValueOf(o.locationRegion()); }},
      {"mimeType", [](const T& o) { return TQValueOf(o.mimeType()); }},
      {"name", [](const T& o) { return TQValueOf(o.name()); }},
      {"parentPath", [](const T& o) { return TQValueOf(o.parentPath()); }},
      {"size", [](const T& o) { return TQValueOf(o.size()); }},
      {"timelineDate", [](const T& o) { return TQValueOf(o.timelineDate()); }},
      {"title", [](const T& o) { return TQValueOf(o.title()); }},
      {"version", [](const T& o) { return TQValueOf(o.version()); }},
      {"versionCreated", [](const T& o) { return TQValueOf(o.versionCreated()); }},
      {"width", [](const T& o) { return TQValueOf(o.width()); }},
      {"uri", [](const T& o) { return TQValueOf(o.uri()); }},
      {"tags", [](const T& o) { return TQValueOf(o.tags()); }},
      {"immutable", [](const T& o) { return tq::Value(o.immutable()); }},
  };
  return kTable;
}
