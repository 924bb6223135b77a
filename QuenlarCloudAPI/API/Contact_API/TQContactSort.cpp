#include "QuenlarCloudAPI/API/Contact_API/TQContactSort.h"

#include <exception>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Helper_Class/TQListHelpers.h"
#include "QuenlarCloudAPI/Model/TQContact.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace TQContactSort {

std::vector<std::shared_ptr<TQContact>> sortedContacts(
    std::vector<std::shared_ptr<TQContact>> contacts, const TQContactAPIParams& params) {
  const auto description = params.getSortKeyWithValue();
  if (!description) {
    return contacts;
  }
  const std::string sortType = description->value("sortType", std::string());
  const bool ascending = description->value("sortOrder", true);
  const auto getter = TQKeyValue::getterForKeyPath<TQContact>(sortType);
  if (getter == nullptr) {
    return contacts;
  }
  // The order is the facade's list helpers' (sortedArray() for "favorite", whose order runs
  // opposite to its flag, sortedArrayWithSelector() otherwise). The list is ours to reorder, so
  // its elements are moved into place rather than copied: for a large address book, copying and
  // releasing every shared pointer costs a good part of the sort.
  try {
    const bool favorite = sortType == "favorite";
    std::vector<tq::Value> keys;
    keys.reserve(contacts.size());
    for (const auto& contact : contacts) {
      keys.push_back(contact ? getter(*contact) : tq::Value{});
    }
    const auto order = TQListHelpers::sortedOrder(
        keys,
        favorite ? TQListHelpers::TQValueComparison::Plain
                 : TQListHelpers::TQValueComparison::LocalizedCaseInsensitive,
        favorite ? !ascending : ascending);
    std::vector<std::shared_ptr<TQContact>> sorted;
    sorted.reserve(contacts.size());
    // Nothing below throws, so the list is never left half moved.
    for (const size_t position : order) {
      sorted.push_back(std::move(contacts[position]));
    }
    return sorted;
  } catch (const std::exception& e) {
    tq::systemLog(std::string("[ERROR] the contacts could not be sorted: ") + e.what());
  }
  return contacts;
}

}  // namespace TQContactSort
