// TQInstantMessageType: an instant-message entry of a contact: the base fields and the address.
// Immutable once made.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/TQContactType.h"

class TQInstantMessageType : public TQContactType {
 public:
  // The entry of one "im" element: the base fields, then "address" (text form). Never nullptr.
  static std::shared_ptr<TQInstantMessageType> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& address() const { return address_; }

 private:
  TQInstantMessageType() = default;

  std::optional<std::string> address_;
};
