// The facade's list helpers: two sorts by a key path and a page cut, over lists already in memory.
//
// They touch no server, store or facade state and are safe from any thread; each answers a new
// list and leaves its argument alone. Objects are read through their key-value table
// (TQKeyValueCoding.h); a null element reads as nil at every key. Both sorts are stable and put
// nil values before all others in ascending order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"
#include "QuenlarCloudAPI/Platform/Value.h"

namespace TQListHelpers {

enum class TQValueComparison {
  // Text by the user's locale, ignoring letter case; other values as in Plain.
  LocalizedCaseInsensitive,
  // Each kind by its own order: numbers (booleans among them) by value, text by code point,
  // dates by time. Values of different kinds order nil, numbers, text, dates.
  Plain,
};

// The positions of `keys` in sorted order, equal keys keeping their relative order.
std::vector<std::size_t> sortedOrder(std::span<const tq::Value> keys, TQValueComparison comparison,
                                     bool ascending);

// The half-open range [first, last) of 1-based page `page` of `count` elements in a list of
// `length`, or nullopt when page or count is below 1 or the page lies past the last one.
std::optional<std::pair<std::size_t, std::size_t>> pageRange(std::size_t length, int64_t page,
                                                             int64_t count);

template <TQKeyValueCoding T>
std::optional<std::vector<std::shared_ptr<T>>> sortedByKeyPath(
    const std::vector<std::shared_ptr<T>>& list, std::string_view keyPath,
    TQValueComparison comparison, bool ascending) {
  if (keyPath.empty()) {
    return std::nullopt;
  }
  const auto getter = TQKeyValue::getterForKeyPath<T>(keyPath);
  if (getter == nullptr) {
    TQKeyValue::throwUnknownKeyException(keyPath);
  }
  std::vector<tq::Value> keys;
  keys.reserve(list.size());
  for (const auto& element : list) {
    keys.push_back(element ? getter(*element) : tq::Value{});
  }
  std::vector<std::shared_ptr<T>> sorted;
  sorted.reserve(list.size());
  for (const std::size_t position : sortedOrder(keys, comparison, ascending)) {
    sorted.push_back(list[position]);
  }
  return sorted;
}

// Sorted by the value at `keyPath` with the localized case-insensitive comparison of text,
// ascending when `ascending` is true. nullopt for an empty key path; raises TQException
// "NSUnknownKeyException" for a key path T does not have, even when the list is empty.
template <TQKeyValueCoding T>
std::optional<std::vector<std::shared_ptr<T>>> sortedArrayWithSelector(
    const std::vector<std::shared_ptr<T>>& list, std::string_view keyPath, bool ascending) {
  return sortedByKeyPath(list, keyPath, TQValueComparison::LocalizedCaseInsensitive, ascending);
}

// Sorted by the value at `keyPath` in each kind's own order, in the order opposite to the flag:
// descending (largest first) when `ascending` is true. Callers such as the contact listing's
// "favorite" order are built on this direction. nullopt and exceptions as above.
template <TQKeyValueCoding T>
std::optional<std::vector<std::shared_ptr<T>>> sortedArray(
    const std::vector<std::shared_ptr<T>>& list, std::string_view keyPath, bool ascending) {
  return sortedByKeyPath(list, keyPath, TQValueComparison::Plain, !ascending);
}

// Page `page` (from 1) of `count` elements: a full page, or the rest of the list for the last
// one. nullopt for a page or count below 1 and for a page past the last; an empty list has no
// pages. Large page or count values never overflow.
template <class E>
std::optional<std::vector<E>> paginatedArray(const std::vector<E>& list, int64_t page,
                                             int64_t count) {
  const auto range = pageRange(list.size(), page, count);
  if (!range) {
    return std::nullopt;
  }
  using Difference = typename std::vector<E>::difference_type;
  return std::vector<E>(list.begin() + static_cast<Difference>(range->first),
                        list.begin() + static_cast<Difference>(range->second));
}

}  // namespace TQListHelpers
