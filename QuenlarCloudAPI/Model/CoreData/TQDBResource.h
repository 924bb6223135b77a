// TQDBResource: one stored resource, a row of the entity "TQDBResource" with the 32 attributes of
// a resource object (TQResourceValues) under their stored names.
//
// Getters answer the object's values: its unsaved changes, else the row as last committed, else,
// once the row has been deleted, the values last read. Setters change the object only; its
// context writes the change. Safe from any thread (see TQManagedObject).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"
#include "QuenlarCloudAPI/Model/TQNumber.h"
#include "QuenlarCloudAPI/Model/TQResourceValues.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQDBResource final : public TQManagedObjectEntity<TQDBResource> {
 public:
  static constexpr std::string_view kEntityName = kTQDBResourceEntityName;

  TQDBResource() = default;

  // Sets all 32 attributes from a server resource object (NSDictionary_TQResource); nothing
  // else, the relationship being the caller's.
  void loadFromDictionary(const tq::JSON& dictionary);

  // The attribute under which the local search sorts when the host names none: "name".
  static std::string nameKey() { return "name"; }

  // All attributes at once; `immutable` is always false, the row having no such attribute.
  TQResourceValues values() const;
  // Sets all 32 attributes (`immutable` is not stored).
  void setValues(const TQResourceValues& values);

  template <class T>
  T valueOf(T TQResourceValues::*field) const {
    refreshIfStale();
    std::lock_guard lock(mutex_);
    return values_.*field;
  }

  template <class T>
  void setValueOf(T TQResourceValues::*field, T value) {
    {
      std::lock_guard lock(mutex_);
      values_.*field = std::move(value);
    }
    didChange();
  }

  std::optional<std::string> album() const { return valueOf(&TQResourceValues::album); }
  void setAlbum(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::album, std::move(value));
  }
  std::optional<std::string> artist() const { return valueOf(&TQResourceValues::artist); }
  void setArtist(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::artist, std::move(value));
  }
  std::optional<tq::Date> capturedDate() const { return valueOf(&TQResourceValues::capturedDate); }
  void setCapturedDate(std::optional<tq::Date> value) {
    setValueOf(&TQResourceValues::capturedDate, value);
  }
  std::optional<std::string> checkSum() const { return valueOf(&TQResourceValues::checkSum); }
  void setCheckSum(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::checkSum, std::move(value));
  }
  std::optional<std::string> contentToken() const {
    return valueOf(&TQResourceValues::contentToken);
  }
  void setContentToken(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::contentToken, std::move(value));
  }
  std::optional<std::string> contentType() const { return valueOf(&TQResourceValues::contentType); }
  void setContentType(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::contentType, std::move(value));
  }
  std::optional<TQNumber> count() const { return valueOf(&TQResourceValues::count); }
  void setCount(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::count, value); }
  std::optional<tq::Date> creationDate() const { return valueOf(&TQResourceValues::creationDate); }
  void setCreationDate(std::optional<tq::Date> value) {
    setValueOf(&TQResourceValues::creationDate, value);
  }
  std::optional<TQNumber> deleted() const { return valueOf(&TQResourceValues::deleted); }
  void setDeleted(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::deleted, value); }
  std::optional<TQNumber> duration() const { return valueOf(&TQResourceValues::duration); }
  void setDuration(std::optional<TQNumber> value) {
    setValueOf(&TQResourceValues::duration, value);
  }
  std::optional<std::string> extension() const { return valueOf(&TQResourceValues::extension); }
  void setExtension(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::extension, std::move(value));
  }
  std::optional<bool> file() const { return valueOf(&TQResourceValues::file); }
  void setFile(std::optional<bool> value) { setValueOf(&TQResourceValues::file, value); }
  std::optional<std::string> fullPath() const { return valueOf(&TQResourceValues::fullPath); }
  void setFullPath(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::fullPath, std::move(value));
  }
  std::optional<std::string> genre() const { return valueOf(&TQResourceValues::genre); }
  void setGenre(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::genre, std::move(value));
  }
  std::optional<TQNumber> geoLatitude() const { return valueOf(&TQResourceValues::geoLatitude); }
  void setGeoLatitude(std::optional<TQNumber> value) {
    setValueOf(&TQResourceValues::geoLatitude, value);
  }
  std::optional<TQNumber> geoLongitude() const { return valueOf(&TQResourceValues::geoLongitude); }
  void setGeoLongitude(std::optional<TQNumber> value) {
    setValueOf(&TQResourceValues::geoLongitude, value);
  }
  std::optional<TQNumber> height() const { return valueOf(&TQResourceValues::height); }
  void setHeight(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::height, value); }
  std::optional<std::string> itemuid() const { return valueOf(&TQResourceValues::itemuid); }
  void setItemuid(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::itemuid, std::move(value));
  }
  std::optional<std::string> locationCountry() const {
    return valueOf(&TQResourceValues::locationCountry);
  }
  void setLocationCountry(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::locationCountry, std::move(value));
  }
  std::optional<std::string> locationLocality() const {
    return valueOf(&TQResourceValues::locationLocality);
  }
  void setLocationLocality(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::locationLocality, std::move(value));
  }
  std::optional<std::string> locationRegion() const {
    return valueOf(&TQResourceValues::locationRegion);
  }
  void setLocationRegion(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::locationRegion, std::move(value));
  }
  std::optional<std::string> mimeType() const { return valueOf(&TQResourceValues::mimeType); }
  void setMimeType(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::mimeType, std::move(value));
  }
  std::optional<std::string> name() const { return valueOf(&TQResourceValues::name); }
  void setName(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::name, std::move(value));
  }
  std::optional<std::string> parentPath() const { return valueOf(&TQResourceValues::parentPath); }
  void setParentPath(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::parentPath, std::move(value));
  }
  std::optional<TQNumber> size() const { return valueOf(&TQResourceValues::size); }
  void setSize(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::size, value); }
  std::optional<tq::Date> timelineDate() const { return valueOf(&TQResourceValues::timelineDate); }
  void setTimelineDate(std::optional<tq::Date> value) {
    setValueOf(&TQResourceValues::timelineDate, value);
  }
  std::optional<std::string> title() const { return valueOf(&TQResourceValues::title); }
  void setTitle(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::title, std::move(value));
  }
  std::optional<TQNumber> version() const { return valueOf(&TQResourceValues::version); }
  void setVersion(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::version, value); }
  std::optional<tq::Date> versionCreated() const {
    return valueOf(&TQResourceValues::versionCreated);
  }
  void setVersionCreated(std::optional<tq::Date> value) {
    setValueOf(&TQResourceValues::versionCreated, value);
  }
  std::optional<TQNumber> width() const { return valueOf(&TQResourceValues::width); }
  void setWidth(std::optional<TQNumber> value) { setValueOf(&TQResourceValues::width, value); }
  std::optional<std::string> uri() const { return valueOf(&TQResourceValues::uri); }
  void setUri(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::uri, std::move(value));
  }
  std::optional<std::string> tags() const { return valueOf(&TQResourceValues::tags); }
  void setTags(std::optional<std::string> value) {
    setValueOf(&TQResourceValues::tags, std::move(value));
  }

 protected:
  std::vector<tq::Value> rowValuesLocked() const override;
  void setRowValuesLocked(const std::vector<tq::Value>& values) override;
  void readRowLocked(const tq::SQLiteStatement& statement, int first) override;

 private:
  TQResourceValues values_;
};
