// TQAddressContactAPIParams: a postal-address entry of a contact body.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Contact_API/TQContactBaseAPIParams.h"

class TQAddressType;

class TQAddressContactAPIParams : public TQContactBaseAPIParams {
 public:
  TQAddressContactAPIParams() = default;

  // The entry record of a contact's address entry: its base fields and the seven parts.
  static std::shared_ptr<TQAddressContactAPIParams> initWithTQAddressType(
      const TQAddressType& entry);

  std::optional<std::string> city;
  std::optional<std::string> country;
  std::optional<std::string> pobox;
  std::optional<std::string> street;
  std::optional<std::string> zipcode;
  std::optional<std::string> apartment;
  std::optional<std::string> state;

  // The "address" element: "type", "indx", "pobox", "street", "apartment", "city", "state",
  // "zipcode", "country", "preference", each when not nil.
  tq::JSON bodyElement() const;
};
