// TQResourceAPIParams: the base of every resource call's record. It adds the bearer token that
// the facade copies in before the call is prepared, checked before any field of a subclass.
//
// copy() makes a new record of the receiver's own class with that class's defaults and the access
// token only; a record whose fields must survive the copy overrides copy(), calls this one and
// copies its fields. Every concrete record names its own class through newInstance().
#pragma once

#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/TQAPIParams.h"

class TQResourceAPIParams : public TQAPIParams {
 public:
  TQResourceAPIParams() = default;

  // The bearer token; empty means none.
  std::string accessToken;

  // Raises the missing-parameter exception with the key "access_token" when the token is empty.
  // It does not ask TQAPIParams.
  bool validateParameters() const override;

  // A new record of the receiver's class with its defaults and this record's access token.
  // Raises std::logic_error when the receiver's class does not override newInstance(), since the
  // copy would then silently lose its class.
  virtual std::shared_ptr<TQResourceAPIParams> copy() const;

 protected:
  TQResourceAPIParams(const TQResourceAPIParams&) = default;
  TQResourceAPIParams& operator=(const TQResourceAPIParams&) = default;

  // A new record of the receiver's own class, made with its default constructor. Each concrete
  // subclass overrides it with `return std::make_shared<ItsClass>();`.
  virtual std::shared_ptr<TQResourceAPIParams> newInstance() const;
};

// copy() typed as the record's own class.
template <class Record>
std::shared_ptr<Record> TQCopyParams(const Record& record) {
  return std::static_pointer_cast<Record>(record.copy());
}
