#include "QuenlarCloudAPI/API/Contact_API/TQContactSort.h"

#include <exception>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace TQContactSort {

std::vector<std::shared_ptr<TQContact>> sortedContacts(
    std::vector<std::shared_ptr<TQContact>> contacts, const TQContactAPIParams& params) {
  const auto description = params.getSortKeyWithValue();
  if (!description) {
    return contacts;
  }
  const std::string sortType = description->value("sortType", std::string());
  const bool ascending = description->value("sortOrder", true);
  if (sortType.empty() || TQKeyValue::getterForKeyPath<TQContact>(sortType) == nullptr) {
    return contacts;
  }
  try {
    auto sorted = sortType == "favorite"
                      ? TQAPISDK::sortedArray(contacts, sortType, ascending)
                      : TQAPISDK::sortedArrayWithSelector(contacts, sortType, ascending);
    if (sorted) {
      return std::move(*sorted);
    }
  } catch (const std::exception& e) {
    tq::systemLog(std::string("[ERROR] the contacts could not be sorted: ") + e.what());
  }
  return contacts;
}

}  // namespace TQContactSort
