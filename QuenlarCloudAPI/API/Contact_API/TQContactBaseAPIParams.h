// TQContactBaseAPIParams: the part every entry of a contact body has: its kind, index and
// preference. The four subclasses (TQTelContactAPIParams, TQEmailContactAPIParams,
// TQIMContactAPIParams, TQAddressContactAPIParams) add what the entry holds. Entry records are
// plain bags of public fields, filled by the host or made from a contact's entries; each field
// left nil stays out of the body. Numbers are written as given: a text sent in place of a number
// goes back as a text.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQContactType;

class TQContactBaseAPIParams {
 public:
  TQContactBaseAPIParams() = default;
  virtual ~TQContactBaseAPIParams() = default;

  std::optional<std::string> type;
  std::optional<tq::JSON> indx;
  std::optional<tq::JSON> preference;

 protected:
  TQContactBaseAPIParams(const TQContactBaseAPIParams&) = default;
  TQContactBaseAPIParams& operator=(const TQContactBaseAPIParams&) = default;

  // Takes type, indx and preference from a contact's entry.
  void takeContactType(const TQContactType& entry);
};

// Adds `key`: `value` to a body element when the value is not nil.
template <class Value>
void TQAddBodyMember(tq::JSON& element, const char* key, const std::optional<Value>& value) {
  if (value) {
    element[key] = *value;
  }
}
