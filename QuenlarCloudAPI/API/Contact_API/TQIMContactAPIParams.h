// TQIMContactAPIParams: an instant-message entry of a contact body. Its element carries no
// "indx", even when the record holds one.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactBaseAPIParams.h"

class TQInstantMessageType;

class TQIMContactAPIParams : public TQContactBaseAPIParams {
 public:
  TQIMContactAPIParams() = default;

  // The entry record of a contact's instant-message entry: its base fields and address.
  static std::shared_ptr<TQIMContactAPIParams> initWithTQInstantMessageType(
      const TQInstantMessageType& entry);

  std::optional<std::string> address;

  // The "im" element: "type", "address", "preference", each when not nil.
  tq::JSON bodyElement() const;
};
