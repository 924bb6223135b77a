// TQAPIParams: the base of every parameter record. A record is a plain bag of public fields that
// a host fills on its own thread before handing it to the facade; it is not guarded, so a host
// must not change it while a facade method runs with it.
//
// validateParameters() is the record's own check, run by its call's prepareQuery(): it answers
// true or raises the missing-parameter exception (TQException "NSInvalidArgumentException",
// reason "<key> <REQUIRED PARAMETER> is missing.") after writing a "FATEL" line to the system log.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

// The paging checks a list record may have; each record runs the ones it has in its own order.
enum class TQPagingCheck {
  NegativePage,   // page < 0: "Negative page"
  NegativeStart,  // start < 0: "Negative start"
  CountRequired,  // (page > 1 or start > 1) and count == 0: "Positive count required"
  NegativeCount,  // count < 0: "Negative count"
};

class TQAPIParams {
 public:
  TQAPIParams() = default;
  virtual ~TQAPIParams() = default;

  // True when every field is usable; otherwise raises the missing-parameter exception for the
  // first bad field. The base has nothing to check.
  virtual bool validateParameters() const { return true; }

  // Writes "[FATEL] <key>  is required parameter to call this API." to the system log (never to
  // the library's loggers), then raises the missing-parameter exception with `key`, whose
  // reason's format is looked up in the host's string table. `key` is used as given: callers pass
  // it through TQLocalizedString() first where the key is translatable.
  [[noreturn]] static void throwMissingParameterException(const std::string& key);

  // Runs `checks` in order over the paging fields and raises the missing-parameter exception,
  // with the translated message, for the first that fails. Values are compared as they are, so
  // no field value, however large or small, can overflow the checks.
  static void checkPaging(int32_t page, int32_t start, int32_t count,
                          std::initializer_list<TQPagingCheck> checks);

 protected:
  TQAPIParams(const TQAPIParams&) = default;
  TQAPIParams& operator=(const TQAPIParams&) = default;
};
