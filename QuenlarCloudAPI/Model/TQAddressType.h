// TQAddressType: a postal-address entry of a contact: the base fields and the address's parts,
// each read from the key of its own name. Immutable once made.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/TQContactType.h"

class TQAddressType : public TQContactType {
 public:
  // The entry of one "address" element: the base fields, then the seven parts (text form).
  // Never nullptr.
  static std::shared_ptr<TQAddressType> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& city() const { return city_; }
  const std::optional<std::string>& country() const { return country_; }
  const std::optional<std::string>& pobox() const { return pobox_; }
  const std::optional<std::string>& street() const { return street_; }
  const std::optional<std::string>& zipcode() const { return zipcode_; }
  const std::optional<std::string>& apartment() const { return apartment_; }
  const std::optional<std::string>& state() const { return state_; }

 private:
  TQAddressType() = default;

  std::optional<std::string> city_;
  std::optional<std::string> country_;
  std::optional<std::string> pobox_;
  std::optional<std::string> street_;
  std::optional<std::string> zipcode_;
  std::optional<std::string> apartment_;
  std::optional<std::string> state_;
};
