// TQEmailContactType: an e-mail entry of a contact: the base fields and the address, which the
// server sends under "address" (not "email"). Immutable once made.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Model/TQContactType.h"

class TQEmailContactType : public TQContactType {
 public:
  // The entry of one "email" element: the base fields, then "address" (text form). Never nullptr.
  static std::shared_ptr<TQEmailContactType> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& email() const { return email_; }

 private:
  TQEmailContactType() = default;

  std::optional<std::string> email_;
};
