#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

void TQSearchAPIParams::setSortKey(const std::string& key, bool isAscending) {
  sort = key + "+" + (isAscending ? "asc" : "desc");
  sortDict = {{key, isAscending}};
}

bool TQSearchAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (query.empty()) {
    throwMissingParameterException(TQLocalizedString("query"));
  }
  checkPaging(page, start, count,
              {TQPagingCheck::NegativePage, TQPagingCheck::NegativeStart,
               TQPagingCheck::CountRequired, TQPagingCheck::NegativeCount});
  return true;
}
