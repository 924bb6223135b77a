// TQShareResource: one resource that a share gives out, as the share answer describes it.
// Immutable once made; safe to share between threads.
//
// Text fields hold the member's text form (TQShareReading::text: a null member reads "<null>"),
// number fields the member as the server sent it, whatever its type (TQShareReading::value: a
// text "3" stays a text), the date the text the share date formatter reads; each is nullopt when
// the answer lacks it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQShareResource {
  class Key {
    Key() = default;
    friend class TQShareResource;
  };

 public:
  explicit TQShareResource(Key /*key*/) {}
  TQShareResource(const TQShareResource&) = delete;
  TQShareResource& operator=(const TQShareResource&) = delete;

  // Reads one resource object; anything but an object gives a resource with every field nullopt.
  static std::shared_ptr<TQShareResource> initWithDictionary(const tq::JSON& dictionary);

  // The share date formatter, the same object as TQShareItem::apiDateFormatter().
  static const TQResourceDateFormatter& apiDateFormatter();

  const std::optional<std::string>& uid() const { return uid_; }
  const std::optional<std::string>& checksum() const { return checksum_; }
  const std::optional<std::string>& contentToken() const { return contentToken_; }
  const std::optional<tq::Date>& lastModifiedDate() const { return lastModifiedDate_; }
  const std::optional<std::string>& location() const { return location_; }
  const std::optional<std::string>& url() const { return url_; }
  const std::optional<std::string>& name() const { return name_; }
  const std::optional<std::string>& resourceId() const { return resourceId_; }
  const std::optional<tq::JSON>& size() const { return size_; }
  const std::optional<std::string>& type() const { return type_; }
  const std::optional<std::string>& subType() const { return subType_; }

 private:
  std::optional<std::string> uid_;
  std::optional<std::string> checksum_;
  std::optional<std::string> contentToken_;
  std::optional<tq::Date> lastModifiedDate_;
  std::optional<std::string> location_;
  std::optional<std::string> url_;
  std::optional<std::string> name_;
  std::optional<std::string> resourceId_;
  std::optional<tq::JSON> size_;
  std::optional<std::string> type_;
  std::optional<std::string> subType_;
};
