// The field checks the playlist records share: a text or a list that must not be empty.
#pragma once

#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIParams.h"
#include "QuenlarCloudAPI/API/TQException.h"

namespace TQPlaylistChecks {

// Raises the missing-parameter exception with the translated `key` when `text` is empty.
inline void requireText(const std::string& text, const char* key) {
  if (text.empty()) {
    TQAPIParams::throwMissingParameterException(TQLocalizedString(key));
  }
}

// Raises the missing-parameter exception with the translated `key` when `list` is empty.
inline void requireList(const std::vector<std::string>& list, const char* key) {
  if (list.empty()) {
    TQAPIParams::throwMissingParameterException(TQLocalizedString(key));
  }
}

// The paging check of the two listings, in their order of messages.
inline void checkListingPaging(int32_t page, int32_t start, int32_t count) {
  TQAPIParams::checkPaging(page, start, count,
                           {TQPagingCheck::NegativePage, TQPagingCheck::NegativeStart,
                            TQPagingCheck::NegativeCount, TQPagingCheck::CountRequired});
}

}  // namespace TQPlaylistChecks
