// TQShareItem: one share: its identity and name, who owns and who shares it, its lifetime and
// dates, its public invite key, its first link and the resources it gives out. Immutable once
// made; safe to share between threads.
//
// Fields read as TQShareResource's do. owner(), sharer() and link() are never nullptr: a member
// that is absent or no object gives a record whose fields are nullopt. resources() is nullopt
// when the answer has no "resources" list.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Model/TQLink.h"
#include "QuenlarCloudAPI/Model/TQShareResource.h"
#include "QuenlarCloudAPI/Model/TQUser.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQShareItem {
  class Key {
    Key() = default;
    friend class TQShareItem;
  };

 public:
  explicit TQShareItem(Key /*key*/) {}
  TQShareItem(const TQShareItem&) = delete;
  TQShareItem& operator=(const TQShareItem&) = delete;

  // Reads one share object; anything but an object gives a share with empty fields.
  static std::shared_ptr<TQShareItem> initWithDictionary(const tq::JSON& dictionary);

  // The share date formatter, the same object as TQShareResource::apiDateFormatter().
  static const TQResourceDateFormatter& apiDateFormatter();

  // The first object of "links".
  const std::shared_ptr<TQLink>& link() const { return link_; }
  const std::optional<std::string>& UID() const { return UID_; }
  const std::optional<std::string>& name() const { return name_; }
  const std::optional<tq::JSON>& totalResourceCount() const { return totalResourceCount_; }
  const std::shared_ptr<TQUser>& owner() const { return owner_; }
  const std::shared_ptr<TQUser>& sharer() const { return sharer_; }
  const std::optional<std::vector<std::shared_ptr<TQShareResource>>>& resources() const {
    return resources_;
  }
  const std::optional<tq::JSON>& expiresIn() const { return expiresIn_; }
  const std::optional<tq::Date>& expirationDate() const { return expirationDate_; }
  const std::optional<tq::Date>& creationDate() const { return creationDate_; }
  const std::optional<tq::Date>& lastModifiedDate() const { return lastModifiedDate_; }
  const std::optional<tq::Date>& inboundLastModifiedDate() const {
    return inboundLastModifiedDate_;
  }
  const std::optional<std::string>& publicInviteKey() const { return publicInviteKey_; }

 private:
  std::shared_ptr<TQLink> link_;
  std::optional<std::string> UID_;
  std::optional<std::string> name_;
  std::optional<tq::JSON> totalResourceCount_;
  std::shared_ptr<TQUser> owner_;
  std::shared_ptr<TQUser> sharer_;
  std::optional<std::vector<std::shared_ptr<TQShareResource>>> resources_;
  std::optional<tq::JSON> expiresIn_;
  std::optional<tq::Date> expirationDate_;
  std::optional<tq::Date> creationDate_;
  std::optional<tq::Date> lastModifiedDate_;
  std::optional<tq::Date> inboundLastModifiedDate_;
  std::optional<std::string> publicInviteKey_;
};
