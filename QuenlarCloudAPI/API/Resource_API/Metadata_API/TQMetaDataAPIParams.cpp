#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQMetaDataAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (!filter.empty() && filter != "file" && filter != "folder") {
    throwMissingParameterException(TQLocalizedString("filter"));
  }
  checkPaging(page, start, count,
              {TQPagingCheck::NegativePage, TQPagingCheck::NegativeStart,
               TQPagingCheck::CountRequired, TQPagingCheck::NegativeCount});
  return true;
}
