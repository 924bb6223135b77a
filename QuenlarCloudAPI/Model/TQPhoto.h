// TQPhoto: a photo. Adds its own fields to those of TQFile; see TQResourceItem for how items
// are built, bound and read.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQFile.h"

class TQPhoto : public TQFile {
 public:
  TQPhoto() = default;

  static std::shared_ptr<TQPhoto> initWithDict(const tq::JSON& dict) {
    return makeWithDict<TQPhoto>(dict);
  }
  static std::shared_ptr<TQPhoto> initWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    return makeWithDBResourceID<TQPhoto>(dbResourceID);
  }

  std::optional<tq::Date> capturedDate() const {
    return binding_.get(&TQResourceValues::capturedDate);
  }
  void setCapturedDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::capturedDate, value);
  }
  std::optional<TQNumber> height() const { return binding_.get(&TQResourceValues::height); }
  void setHeight(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::height, value); }
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

  // Key-value table: the keys of TQFile and the fields above.
  static std::span<const TQKeyValueEntry<TQPhoto>> keyValueTable();
};
