#include "QuenlarCloudAPI/CloudSDK/TQResourceKeyResolver.h"

#include <string>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"

namespace {

tq::ResolvedKey::Kind kindOf(TQAttributeKind kind) {
  switch (kind) {
    case TQAttributeKind::Text:
      return tq::ResolvedKey::Kind::Text;
    case TQAttributeKind::Number:
      return tq::ResolvedKey::Kind::Number;
    case TQAttributeKind::Boolean:
      return tq::ResolvedKey::Kind::Boolean;
    case TQAttributeKind::Date:
      return tq::ResolvedKey::Kind::Date;
  }
  return tq::ResolvedKey::Kind::Text;
}

}  // namespace

std::optional<tq::ResolvedKey> TQResourceKeyResolver::resolveKey(std::string_view entity,
                                                                 std::string_view key) {
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
  if (attribute == nullptr) {
    return std::nullopt;
  }
  return tq::ResolvedKey{std::string(attribute->column), kindOf(attribute->kind)};
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
