// TQLink: one link of a share answer: its relation ("next", "self", ...) and its address, both as
// the server wrote them. Immutable once made; safe to share between threads.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQLink {
  class Key {
    Key() = default;
    friend class TQLink;
  };

 public:
  explicit TQLink(Key /*key*/) {}
  TQLink(const TQLink&) = delete;
  TQLink& operator=(const TQLink&) = delete;

  // Reads "rel" and "link" as text (TQShareReading::text); anything but an object gives a link
  // with both nullopt.
  static std::shared_ptr<TQLink> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& rel() const { return rel_; }
  const std::optional<std::string>& link() const { return link_; }

 private:
  std::optional<std::string> rel_;
  std::optional<std::string> link_;
};
