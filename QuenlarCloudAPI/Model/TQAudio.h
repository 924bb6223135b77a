// TQAudio: an audio file. Adds its own fields to those of TQFile; see TQResourceItem for how items
// are built, bound and read.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQFile.h"

class TQAudio : public TQFile {
 public:
  TQAudio() = default;

  static std::shared_ptr<TQAudio> initWithDict(const tq::JSON& dict) {
    return makeWithDict<TQAudio>(dict);
  }
  static std::shared_ptr<TQAudio> initWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    return makeWithDBResourceID<TQAudio>(dbResourceID);
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
  static std::span<const TQKeyValueEntry<TQAudio>> keyValueTable();
};
