#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"

#include <string>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"

std::optional<tq::ResolvedKey> TQResourceKeyResolver::resolveKey(std::string_view entity,
                                                                 std::string_view key) {
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
  if (attribute == nullptr) {
    return std::nullopt;
  }
  return TQAttributeRegistry::resolvedKey(*attribute);
}

const tq::KeyResolver& TQResourceKeyResolver::resourceResolver() {
  static const tq::KeyResolver resolver = resolverForEntity("TQDBResource");
  return resolver;
}

tq::KeyResolver TQResourceKeyResolver::resolverForEntity(std::string_view entity) {
  // The registry's entity names live for the program, so the view stays valid; an unknown
  // entity has no attributes and resolves nothing.
  const auto attributes = TQAttributeRegistry::attributesOfEntity(entity);
  const std::string_view name = attributes.empty() ? std::string_view{} : attributes.front().entity;
  return [name](std::string_view key) { return resolveKey(name, key); };
}
