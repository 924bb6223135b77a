// TQEmailContactAPIParams: an e-mail entry of a contact body; the address travels under
// "address".
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactBaseAPIParams.h"

class TQEmailContactType;

class TQEmailContactAPIParams : public TQContactBaseAPIParams {
 public:
  TQEmailContactAPIParams() = default;

  // The entry record of a contact's e-mail entry: its base fields and its `email` as `address`.
  static std::shared_ptr<TQEmailContactAPIParams> initWithTQEmailContactType(
      const TQEmailContactType& entry);

  std::optional<std::string> address;

  // The "email" element: "preference", "type", "indx", "address", each when not nil.
  tq::JSON bodyElement() const;
};
