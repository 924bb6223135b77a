#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLiteStatement.h"

namespace {

using enum TQAttributeKind;

constexpr std::string_view kResource = kTQDBResourceEntityName;
constexpr std::string_view kETag = kTQETagEntityName;

void assign(std::optional<std::string>& field, const tq::Value& value) {
  const auto* text = std::get_if<std::string>(&value);
  field = text != nullptr ? std::optional<std::string>(*text) : std::nullopt;
}

void assign(std::optional<TQNumber>& field, const tq::Value& value) {
  if (const auto* b = std::get_if<bool>(&value)) {
    field = TQNumber::boolean(*b);
  } else if (const auto* i = std::get_if<int64_t>(&value)) {
    field = TQNumber::integer(*i);
  } else if (const auto* d = std::get_if<double>(&value)) {
    field = TQNumber::real(*d);
  } else {
    field.reset();
  }
}

void assign(std::optional<bool>& field, const tq::Value& value) {
  const auto* b = std::get_if<bool>(&value);
  field = b != nullptr ? std::optional<bool>(*b) : std::nullopt;
}

void assign(std::optional<tq::Date>& field, const tq::Value& value) {
  const auto* date = std::get_if<tq::Date>(&value);
  field = date != nullptr ? std::optional<tq::Date>(*date) : std::nullopt;
}

template <auto Field>
tq::Value getField(const TQResourceValues& values) {
  return TQValueOf(values.*Field);
}

template <auto Field>
void setField(TQResourceValues& values, const tq::Value& value) {
  assign(values.*Field, value);
}

void bindField(const std::optional<std::string>& field, tq::SQLiteStatement& statement, int index) {
  if (field) {
    statement.bindTextUncopied(index, *field);
  } else {
    statement.bindNull(index);
  }
}

template <class Field>
void bindField(const Field& field, tq::SQLiteStatement& statement, int index) {
  tq::bindValue(statement, index, TQValueOf(field));
}

using ColumnType = tq::SQLiteStatement::ColumnType;

void readField(std::optional<std::string>& field, const tq::SQLiteStatement& statement,
               int column) {
  if (const auto value = statement.columnValue(column); value.type == ColumnType::Text) {
    field.emplace(value.text);
  } else {
    field.reset();
  }
}

void readField(std::optional<TQNumber>& field, const tq::SQLiteStatement& statement, int column) {
  const auto value = statement.columnValue(column);
  switch (value.type) {
    case ColumnType::Integer:
      field = TQNumber::integer(value.integer);
      break;
    case ColumnType::Real:
      field = TQNumber::real(value.real);
      break;
    default:
      field.reset();
  }
}

void readField(std::optional<bool>& field, const tq::SQLiteStatement& statement, int column) {
  if (const auto value = statement.columnValue(column); value.type == ColumnType::Integer) {
    field = value.integer != 0;
  } else {
    field.reset();
  }
}

void readField(std::optional<tq::Date>& field, const tq::SQLiteStatement& statement, int column) {
  if (const auto value = statement.columnValue(column); value.type == ColumnType::Integer) {
    field = tq::Date{std::chrono::milliseconds{value.integer}};
  } else {
    field.reset();
  }
}

template <auto Field>
void readFieldOf(TQResourceValues& values, const tq::SQLiteStatement& statement, int column) {
  readField(values.*Field, statement, column);
}

template <auto Field>
void bindFieldOf(const TQResourceValues& values, tq::SQLiteStatement& statement, int index) {
  bindField(values.*Field, statement, index);
}

template <auto Field>
constexpr TQAttribute resource(std::string_view name, TQAttributeKind kind) {
  return TQAttribute{
      kResource,          name, name, kind, &getField<Field>, &setField<Field>, &bindFieldOf<Field>,
      &readFieldOf<Field>};
}

using V = TQResourceValues;

constexpr std::array kResourceAttributes = {
    resource<&V::album>("album", Text),
    resource<&V::artist>("artist", Text),
    resource<&V::capturedDate>("capturedDate", Date),
    resource<&V::checkSum>("checkSum", Text),
    resource<&V::contentToken>("contentToken", Text),
    resource<&V::contentType>("contentType", Text),
    resource<&V::count>("count", Number),
    resource<&V::creationDate>("creationDate", Date),
    resource<&V::deleted>("deleted", Number),
    resource<&V::duration>("duration", Number),
    resource<&V::extension>("extension", Text),
    resource<&V::file>("file", Boolean),
    resource<&V::fullPath>("fullPath", Text),
    resource<&V::genre>("genre", Text),
    resource<&V::geoLatitude>("geoLatitude", Number),
    resource<&V::geoLongitude>("geoLongitude", Number),
    resource<&V::height>("height", Number),
    resource<&V::itemuid>("itemuid", Text),
    resource<&V::locationCountry>("locationCountry", Text),
    resource<&V::locationLocality>("locationLocality", Text),
    resource<&V::locationRegion>("locationRegion", Text),
    resource<&V::mimeType>("mimeType", Text),
    resource<&V::name>("name", Text),
    resource<&V::parentPath>("parentPath", Text),
    resource<&V::size>("size", Number),
    resource<&V::timelineDate>("timelineDate", Date),
    resource<&V::title>("title", Text),
    resource<&V::version>("version", Number),
    resource<&V::versionCreated>("versionCreated", Date),
    resource<&V::width>("width", Number),
    resource<&V::uri>("uri", Text),
    resource<&V::tags>("tags", Text),
};

constexpr std::array kETagAttributes = {
    TQAttribute{kETag, "eTag", "eTag", Text},
    TQAttribute{kETag, "eTagID", "eTagID", Text},
};

}  // namespace

namespace TQAttributeRegistry {

std::span<const TQAttribute> attributesOfEntity(std::string_view entity) {
  if (entity == kResource) {
    return kResourceAttributes;
  }
  if (entity == kETag) {
    return kETagAttributes;
  }
  return {};
}

const TQAttribute* findAttribute(std::string_view entity, std::string_view name) {
  const auto attributes = attributesOfEntity(entity);
  const auto found = std::find_if(attributes.begin(), attributes.end(),
                                  [name](const TQAttribute& a) { return a.name == name; });
  return found == attributes.end() ? nullptr : &*found;
}

tq::Value valueOfKind(TQAttributeKind kind, const tq::Value& value) {
  switch (kind) {
    case Text:
      return std::holds_alternative<std::string>(value) ? value : tq::Value();
    case Number:
      if (std::holds_alternative<bool>(value) || std::holds_alternative<int64_t>(value) ||
          std::holds_alternative<double>(value)) {
        return value;
      }
      return {};
    case Boolean:
      if (const auto* b = std::get_if<bool>(&value)) {
        return *b;
      }
      if (const auto* i = std::get_if<int64_t>(&value)) {
        return *i != 0;
      }
      if (const auto* d = std::get_if<double>(&value)) {
        return *d != 0.0;
      }
      return {};
    case Date:
      if (std::holds_alternative<tq::Date>(value)) {
        return value;
      }
      if (const auto* i = std::get_if<int64_t>(&value)) {
        return tq::Date{std::chrono::milliseconds{*i}};
      }
      return {};
  }
  return {};
}

tq::ResolvedKey resolvedKey(const TQAttribute& attribute) {
  using Kind = tq::ResolvedKey::Kind;
  Kind kind = Kind::Text;
  switch (attribute.kind) {
    case Text:
      kind = Kind::Text;
      break;
    case Number:
      kind = Kind::Number;
      break;
    case Boolean:
      kind = Kind::Boolean;
      break;
    case Date:
      kind = Kind::Date;
      break;
  }
  return tq::ResolvedKey{std::string(attribute.column), kind};
}

}  // namespace TQAttributeRegistry
