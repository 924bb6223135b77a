// TQVideo: a video (no height). Adds its own fields to those of TQFile; see TQResourceItem for how
// items are built, bound and read.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQFile.h"

class TQVideo : public TQFile {
 public:
  TQVideo() = default;

  static std::shared_ptr<TQVideo> initWithDict(const tq::JSON& dict) {
    return makeWithDict<TQVideo>(dict);
  }
  static std::shared_ptr<TQVideo> initWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    return makeWithDBResourceID<TQVideo>(dbResourceID);
  }

  std::optional<tq::Date> capturedDate() const {
    return binding_.get(&TQResourceValues::capturedDate);
  }
  void setCapturedDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::capturedDate, value);
  }
  std::optional<TQNumber> width() const { return binding_.get(&TQResourceValues::width); }
  void setWidth(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::width, value); }
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
  std::optional<std::string> album() const { return binding_.get(&TQResourceValues::album); }
  void setAlbum(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::album, std::move(value));
  }
  std::optional<std::string> artist() const { return binding_.get(&TQResourceValues::artist); }
  void setArtist(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::artist, std::move(value));
  }
  std::optional<std::string> genre() const { return binding_.get(&TQResourceValues::genre); }
  void setGenre(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::genre, std::move(value));
  }
  std::optional<TQNumber> duration() const { return binding_.get(&TQResourceValues::duration); }
  void setDuration(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::duration, value);
  }
  std::optional<std::string> title() const { return binding_.get(&TQResourceValues::title); }
  void setTitle(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::title, std::move(value));
  }

  // Key-value table: the keys of TQFile and the fields above.
  static std::span<const TQKeyValueEntry<TQVideo>> keyValueTable();
};
