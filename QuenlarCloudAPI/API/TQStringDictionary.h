// TQStringDictionary: text keys to text values in the order the keys were first inserted: the
// form of a call's header fields and query parameters, so that a request lists them in the order
// its call class built them. Setting an existing key replaces its value in place. Keys compare
// exactly. A plain value; not synchronised.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TQStringDictionary {
 public:
  using value_type = std::pair<std::string, std::string>;
  using const_iterator = std::vector<value_type>::const_iterator;

  TQStringDictionary() = default;
  // Later duplicates replace the value of the first.
  TQStringDictionary(std::initializer_list<value_type> entries) {
    for (const auto& [key, value] : entries) {
      set(key, value);
    }
  }

  // Sets `key` to `value`, keeping its place when it was already there.
  void set(std::string_view key, std::string value) {
    const auto found = findEntry(key);
    if (found != entries_.end()) {
      found->second = std::move(value);
    } else {
      entries_.emplace_back(std::string(key), std::move(value));
    }
  }

  // The value for `key`, or nullptr.
  const std::string* find(std::string_view key) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [key](const value_type& entry) { return entry.first == key; });
    return found == entries_.end() ? nullptr : &found->second;
  }

  // Removes `key`; false when it was not there.
  bool remove(std::string_view key) {
    const auto found = findEntry(key);
    if (found == entries_.end()) {
      return false;
    }
    entries_.erase(found);
    return true;
  }

  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

  bool operator==(const TQStringDictionary&) const = default;

 private:
  std::vector<value_type>::iterator findEntry(std::string_view key) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [key](const value_type& entry) { return entry.first == key; });
  }

  std::vector<value_type> entries_;
};
