// TQUser: the owner or the sharer of a share, known by its server identifier. Immutable once made;
// safe to share between threads.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQUser {
  class Key {
    Key() = default;
    friend class TQUser;
  };

 public:
  explicit TQUser(Key /*key*/) {}
  TQUser(const TQUser&) = delete;
  TQUser& operator=(const TQUser&) = delete;

  // Reads "uid" as text (TQShareReading::text); anything but an object gives a user without one.
  static std::shared_ptr<TQUser> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& UID() const { return UID_; }

 private:
  std::optional<std::string> UID_;
};
