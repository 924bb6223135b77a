// TQResourceKeyResolver: maps the keys of store predicates onto the attribute registry, so that
// every column name in a predicate's SQL comes from the registry and never from query text.
//
// A key is an attribute's exact (case-sensitive) name; any other key resolves to nothing, which
// makes its comparisons match nothing. Stateless and safe from any thread.
#pragma once

#include <optional>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Predicate.h"

class TQResourceKeyResolver {
 public:
  TQResourceKeyResolver() = delete;

  // The column and kind of the entity's attribute named `key`, or nullopt.
  static std::optional<tq::ResolvedKey> resolveKey(std::string_view entity, std::string_view key);

  // A resolver over the attributes of "TQDBResource".
  static const tq::KeyResolver& resourceResolver();

  // A resolver over the attributes of any entity of the registry ("TQETag", ...).
  static tq::KeyResolver resolverForEntity(std::string_view entity);
};
