// TQTelContactAPIParams: a telephone entry of a contact body.
#pragma once

#include <memory>
#include <optional>

#include "QuenlarCloudAPI/API/Contact_API/TQContactBaseAPIParams.h"

class TQTelContactType;

class TQTelContactAPIParams : public TQContactBaseAPIParams {
 public:
  TQTelContactAPIParams() = default;

  // The entry record of a contact's telephone entry: its base fields and number.
  static std::shared_ptr<TQTelContactAPIParams> initWithTQTelContactType(
      const TQTelContactType& entry);

  std::optional<tq::JSON> number;

  // The "tel" element: "preference", "number", "indx", "type", each when not nil.
  tq::JSON bodyElement() const;
};
