// TQFile: a file; carries its download and thumbnail operations elsewhere. Adds its own fields to
// those of TQResourceItem; see TQResourceItem for how items are built, bound and read.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQResourceItem.h"

class TQFile : public TQResourceItem {
 public:
  TQFile() = default;

  static std::shared_ptr<TQFile> initWithDict(const tq::JSON& dict) {
    return makeWithDict<TQFile>(dict);
  }
  static std::shared_ptr<TQFile> initWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    return makeWithDBResourceID<TQFile>(dbResourceID);
  }

  std::optional<std::string> mimeType() const { return binding_.get(&TQResourceValues::mimeType); }
  void setMimeType(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::mimeType, std::move(value));
  }
  std::optional<std::string> locationLocality() const {
    return binding_.get(&TQResourceValues::locationLocality);
  }
  void setLocationLocality(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::locationLocality, std::move(value));
  }
  std::optional<std::string> locationCountry() const {
    return binding_.get(&TQResourceValues::locationCountry);
  }
  void setLocationCountry(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::locationCountry, std::move(value));
  }
  std::optional<tq::Date> timelineDate() const {
    return binding_.get(&TQResourceValues::timelineDate);
  }
  void setTimelineDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::timelineDate, value);
  }
  std::optional<bool> file() const { return binding_.get(&TQResourceValues::file); }
  void setFile(std::optional<bool> value) { binding_.set(&TQResourceValues::file, value); }

  // Key-value table: the keys of TQResourceItem and the fields above.
  static std::span<const TQKeyValueEntry<TQFile>> keyValueTable();
};
