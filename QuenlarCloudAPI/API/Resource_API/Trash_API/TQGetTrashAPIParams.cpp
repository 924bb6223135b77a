#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"

#include "QuenlarCloudAPI/API/TQException.h"

bool TQGetTrashAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  if (virtualfolder.empty()) {
    throwMissingParameterException(TQLocalizedString("virtualfolder"));
  }
  if (!filter.empty() && filter != "file" && filter != "folder") {
    throwMissingParameterException(TQLocalizedString("filter"));
  }
  checkPaging(page, start, count,
              {TQPagingCheck::NegativePage, TQPagingCheck::NegativeStart,
               TQPagingCheck::CountRequired, TQPagingCheck::NegativeCount});
  if (!deep.empty() && deep != "true" && deep != "false") {
    throwMissingParameterException(TQLocalizedString("deep"));
  }
  return true;
}

std::shared_ptr<TQResourceAPIParams> TQGetTrashAPIParams::copy() const {
  auto record = std::static_pointer_cast<TQGetTrashAPIParams>(TQResourceAPIParams::copy());
  record->virtualfolder = virtualfolder;
  record->filter = filter;
  record->page = page;
  record->count = count;
  record->deep = deep;
  record->sort = sort;
  return record;
}
