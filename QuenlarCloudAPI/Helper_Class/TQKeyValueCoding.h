// Key-value coding: reading a record's attribute by name, which sorting by a key path needs.
//
// A record class takes part by listing its keys in one static table:
//
//   class TQContact {
//    public:
//     static std::span<const TQKeyValueEntry<TQContact>> keyValueTable();
//   };
//
//   std::span<const TQKeyValueEntry<TQContact>> TQContact::keyValueTable() {
//     static constexpr TQKeyValueEntry<TQContact> kTable[] = {
//         {"firstName", [](const TQContact& c) -> tq::Value { return c.firstName(); }},
//         {"favorite", [](const TQContact& c) -> tq::Value { return c.favorite(); }},
//     };
//     return kTable;
//   }
//
// Each entry pairs a key, compared exactly (letter case matters), with a getter that yields the
// value as a tq::Value (std::monostate for nil). A key may contain dots when a class offers a path
// into a member of its own; nothing walks paths generically. The table is the whole truth: a key
// that is not in it is unknown, and asking for it is a clear error (TQException named
// "NSUnknownKeyException"), never undefined behaviour. A subclass that adds keys lists the keys
// of its base class too, and a list is read through the table of its element type.
// Tables are immutable; every function here is safe from any thread.
#pragma once

#include <concepts>
#include <span>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Value.h"

template <class T>
struct TQKeyValueEntry {
  std::string_view key;
  tq::Value (*getter)(const T&);
};

template <class T>
concept TQKeyValueCoding = requires {
  { T::keyValueTable() } -> std::convertible_to<std::span<const TQKeyValueEntry<T>>>;
};

namespace TQKeyValue {

// Raises TQException "NSUnknownKeyException" naming the key path.
[[noreturn]] void throwUnknownKeyException(std::string_view keyPath);

// The getter of `keyPath` in T's table, or nullptr when T has no such key.
template <TQKeyValueCoding T>
auto getterForKeyPath(std::string_view keyPath) -> tq::Value (*)(const T&) {
  for (const TQKeyValueEntry<T>& entry : std::span<const TQKeyValueEntry<T>>(T::keyValueTable())) {
    if (entry.key == keyPath) {
      return entry.getter;
    }
  }
  return nullptr;
}

// The value at `keyPath` of `object`; raises "NSUnknownKeyException" for a key T does not have.
template <TQKeyValueCoding T>
tq::Value valueForKeyPath(const T& object, std::string_view keyPath) {
  const auto getter = getterForKeyPath<T>(keyPath);
  if (getter == nullptr) {
    throwUnknownKeyException(keyPath);
  }
  return getter(object);
}

}  // namespace TQKeyValue
