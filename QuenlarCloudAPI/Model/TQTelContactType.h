// TQTelContactType: a telephone entry of a contact: the base fields and the number, kept as the
// server sent it (a number, or a text when the server sends one). Immutable once made.
#pragma once

#include <memory>
#include <optional>

#include "QuenlarCloudAPI/Model/TQContactType.h"

class TQTelContactType : public TQContactType {
 public:
  // The entry of one "tel" element: the base fields, then "number" (raw). Never nullptr.
  static std::shared_ptr<TQTelContactType> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<tq::JSON>& number() const { return number_; }

 private:
  TQTelContactType() = default;

  std::optional<tq::JSON> number_;
};
