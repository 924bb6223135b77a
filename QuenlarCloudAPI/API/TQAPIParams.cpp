#include "QuenlarCloudAPI/API/TQAPIParams.h"

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

bool fails(TQPagingCheck check, int32_t page, int32_t start, int32_t count) {
  switch (check) {
    case TQPagingCheck::NegativePage:
      return page < 0;
    case TQPagingCheck::NegativeStart:
      return start < 0;
    case TQPagingCheck::CountRequired:
      return (page > 1 || start > 1) && count == 0;
    case TQPagingCheck::NegativeCount:
      return count < 0;
  }
  return false;
}

const char* message(TQPagingCheck check) {
  switch (check) {
    case TQPagingCheck::NegativePage:
      return "Negative page";
    case TQPagingCheck::NegativeStart:
      return "Negative start";
    case TQPagingCheck::CountRequired:
      return "Positive count required";
    case TQPagingCheck::NegativeCount:
      return "Negative count";
  }
  return "";
}

}  // namespace

void TQAPIParams::throwMissingParameterException(const std::string& key) {
  tq::systemLog("[FATEL] " + key + "  is required parameter to call this API.");
  TQAPI::throwMissingParameterException(key);
}

void TQAPIParams::checkPaging(int32_t page, int32_t start, int32_t count,
                              std::initializer_list<TQPagingCheck> checks) {
  for (const auto check : checks) {
    if (fails(check, page, start, count)) {
      throwMissingParameterException(TQLocalizedString(message(check)));
    }
  }
}
