// The attributes of the stored entities: the one table from which predicates, sorts and the query
// translator take column names. A name that is not in the table is not an attribute, and nothing
// derived from caller text ever reaches SQL except through this table.
//
// Each attribute of TQDBResource also knows its field of TQResourceValues, so reading a row into
// values and writing values into a row walk this one table. The table is constant; every function
// here is safe from any thread.
#pragma once

#include <span>
#include <string_view>

#include "QuenlarCloudAPI/Model/TQResourceValues.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/Value.h"

namespace tq {
class SQLiteStatement;
}

enum class TQAttributeKind {
  Text,
  Number,   // integral or real; stored as SQLite INTEGER or REAL
  Boolean,  // stored as INTEGER 0 or 1
  Date,     // stored as INTEGER milliseconds since 1970-01-01T00:00:00Z
};

struct TQAttribute {
  std::string_view entity;  // "TQDBResource" or "TQETag"
  std::string_view name;    // the attribute's name as the query syntax and sort keys spell it
  std::string_view column;  // the SQL column; equal to the name, quoted wherever it is used
  TQAttributeKind kind;
  // TQDBResource only (nullptr for TQETag): the attribute's field of TQResourceValues, read as a
  // tq::Value, and set from a tq::Value of the attribute's kind (any other value sets nil).
  tq::Value (*valueOf)(const TQResourceValues&) = nullptr;
  void (*setValue)(TQResourceValues&, const tq::Value&) = nullptr;
  // TQDBResource only: binds the field to parameter `index` as the column stores it (as
  // tq::bindValue binds valueOf), without copying text: `values` must outlive the binding (see
  // SQLiteStatement::bindTextUncopied).
  void (*bindValue)(const TQResourceValues& values, tq::SQLiteStatement& statement,
                    int index) = nullptr;
  // TQDBResource only: sets the field from column `column` of the statement's current row, as
  // setValue sets it from what TQEntitySQL::readColumn reads there, without the tq::Value between.
  void (*readColumn)(TQResourceValues& values, const tq::SQLiteStatement& statement,
                     int column) = nullptr;
};

inline constexpr std::string_view kTQDBResourceEntityName = "TQDBResource";
inline constexpr std::string_view kTQETagEntityName = "TQETag";

namespace TQAttributeRegistry {

// Every attribute of the entity, in a fixed order; empty for an unknown entity.
std::span<const TQAttribute> attributesOfEntity(std::string_view entity);

// The attribute of that exact (case-sensitive) name, or nullptr when there is none.
const TQAttribute* findAttribute(std::string_view entity, std::string_view name);

// The value of `value` as an attribute of `kind` reads it: text stays text; numbers are bool,
// int64_t or double; a Boolean is a bool (from a bool or a number); a Date is a date (from a
// date or integral milliseconds). Anything else is nil (std::monostate).
tq::Value valueOfKind(TQAttributeKind kind, const tq::Value& value);

// The attribute's column and kind, as the predicate translator compares and binds them.
tq::ResolvedKey resolvedKey(const TQAttribute& attribute);

}  // namespace TQAttributeRegistry
