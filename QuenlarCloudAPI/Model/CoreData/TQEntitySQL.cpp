#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace TQEntitySQL {
namespace {

// A row count as SQLite takes it; no fetch asks for more rows than that.
int64_t clampedCount(std::size_t count) {
  return static_cast<int64_t>(std::min<uint64_t>(count, std::numeric_limits<int64_t>::max()));
}

using TQDataModel::quotedIdentifier;

// The attribute by which merges find a resource's row; the data model keeps it unique.
constexpr std::string_view kUniqueResourceColumn = "uri";

constexpr size_t kLoggedKeyLength = 64;

std::string columnList(std::string_view entity) {
  std::string list = quotedIdentifier(TQDataModel::kObjectIDColumn);
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity(entity)) {
    list += ", " + quotedIdentifier(attribute.column);
  }
  return list;
}

std::string selectSQL(std::string_view entity) {
  return "SELECT " + columnList(entity) + " FROM " + quotedIdentifier(entity);
}

std::string insertSQL(std::string_view entity) {
  std::string columns;
  std::string placeholders;
  std::string updates;
  int index = 1;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity(entity)) {
    if (index > 1) {
      columns += ", ";
      placeholders += ", ";
    }
    const std::string column = quotedIdentifier(attribute.column);
    columns += column;
    placeholders += "?" + std::to_string(index++);
    if (attribute.column != kUniqueResourceColumn) {
      updates += updates.empty() ? "" : ", ";
      updates.append(column).append(" = excluded.").append(column);
    }
  }
  std::string sql = "INSERT INTO " + quotedIdentifier(entity) + " (" + columns + ") VALUES (" +
                    placeholders + ")";
  if (entity == kTQDBResourceEntityName) {
    sql +=
        " ON CONFLICT (" + quotedIdentifier(kUniqueResourceColumn) + ") DO UPDATE SET " + updates;
  }
  return sql;
}

void appendJSONString(std::string& out, std::string_view text) {
  // Bytes of 0x80 and up pass through as they are: SQLite's JSON reader keeps them, so text that
  // is not valid UTF-8 still meets its stored twin.
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (byte < 0x20) {
      out += "\\u00";
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

// The member for one value as the column of `kind` stores it; false when it can match nothing.
bool appendJSONMember(std::string& out, TQAttributeKind kind, const tq::Value& value) {
  switch (kind) {
    case TQAttributeKind::Text:
      // SQLite's JSON reader ends text at an escaped NUL; such text is the caller's to compare.
      if (const auto* text = std::get_if<std::string>(&value);
          text != nullptr && text->find('\0') == std::string::npos) {
        appendJSONString(out, *text);
        return true;
      }
      return false;
    case TQAttributeKind::Number:
      if (const auto* integer = std::get_if<int64_t>(&value)) {
        out += std::to_string(*integer);
        return true;
      }
      if (const auto* real = std::get_if<double>(&value); real != nullptr && std::isfinite(*real)) {
        std::array<char, 32> digits{};
        const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), *real);
        out.append(digits.data(), written.ptr);
        return true;
      }
      return false;
    case TQAttributeKind::Boolean:
      if (const auto* boolean = std::get_if<bool>(&value)) {
        out += *boolean ? "1" : "0";
        return true;
      }
      return false;
    case TQAttributeKind::Date:
      if (const auto* date = std::get_if<tq::Date>(&value)) {
        out += std::to_string(date->time_since_epoch().count());
        return true;
      }
      return false;
  }
  return false;
}

std::string updateSQL(std::string_view entity) {
  std::string sql = "UPDATE " + quotedIdentifier(entity) + " SET ";
  int index = 1;
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity(entity)) {
    if (index > 1) {
      sql += ", ";
    }
    sql += quotedIdentifier(attribute.column) + " = ?" + std::to_string(index++);
  }
  return sql + " WHERE " + quotedIdentifier(TQDataModel::kObjectIDColumn) + " = ?" +
         std::to_string(index);
}

Statements makeStatements(std::string_view entity) {
  return Statements{
      selectSQL(entity), insertSQL(entity), updateSQL(entity),
      selectSQL(entity) + " WHERE " + quotedIdentifier(TQDataModel::kObjectIDColumn) + " = ?1"};
}

}  // namespace

tq::Value readColumn(const tq::SQLiteStatement& statement, int column, TQAttributeKind kind) {
  using Type = tq::SQLiteStatement::ColumnType;
  const Type type = statement.columnType(column);
  if (type == Type::Null) {
    return {};
  }
  switch (kind) {
    case TQAttributeKind::Text:
      return type == Type::Text ? tq::Value(*statement.columnText(column)) : tq::Value();
    case TQAttributeKind::Number:
      if (type == Type::Integer) {
        return *statement.columnInt64(column);
      }
      return type == Type::Real ? tq::Value(*statement.columnDouble(column)) : tq::Value();
    case TQAttributeKind::Boolean:
      return type == Type::Integer ? tq::Value(*statement.columnInt64(column) != 0) : tq::Value();
    case TQAttributeKind::Date:
      return type == Type::Integer
                 ? tq::Value(tq::Date{std::chrono::milliseconds{*statement.columnInt64(column)}})
                 : tq::Value();
  }
  return {};
}

void setError(TQStoreError* error, TQStoreErrorCode code, std::string description) {
  if (error != nullptr) {
    *error = {code, std::move(description)};
  }
}

void logProblem(const std::string& text) { tq::systemLog("[ERROR] " + text); }

std::string printableKey(std::string_view key) {
  std::string printable;
  for (const char c : key.substr(0, kLoggedKeyLength)) {
    printable.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
  }
  if (key.size() > kLoggedKeyLength) {
    printable += "...";
  }
  return "\"" + printable + "\"";
}

std::string unknownKeyMessage(std::string_view entity, std::string_view key) {
  return std::string(entity) + " has no attribute " + printableKey(key) + "; it matches no rows.";
}

tq::RenderedSQL renderPredicate(std::string_view entity, const tq::PredicatePtr& predicate,
                                TQStoreError* error) {
  if (!predicate) {
    return {};
  }
  bool sawUnknownKey = false;
  auto rendered = predicate->render(
      [entity, &sawUnknownKey](std::string_view key) -> std::optional<tq::ResolvedKey> {
        const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
        if (attribute == nullptr) {
          logProblem(unknownKeyMessage(entity, key));
          sawUnknownKey = true;
          return std::nullopt;
        }
        return TQAttributeRegistry::resolvedKey(*attribute);
      });
  if (sawUnknownKey) {
    setError(error, TQStoreErrorCode::UnknownKey, "Unknown predicate key.");
  }
  return rendered;
}

std::vector<tq::Value> readRowValues(const tq::SQLiteStatement& statement, std::string_view entity,
                                     int first) {
  const auto attributes = TQAttributeRegistry::attributesOfEntity(entity);
  std::vector<tq::Value> values;
  values.reserve(attributes.size());
  int column = first;
  for (const TQAttribute& attribute : attributes) {
    values.push_back(readColumn(statement, column++, attribute.kind));
  }
  return values;
}

const Statements& statementsFor(std::string_view entity) {
  static const Statements resource = makeStatements(kTQDBResourceEntityName);
  static const Statements eTag = makeStatements(kTQETagEntityName);
  return entity == kTQDBResourceEntityName ? resource : eTag;
}

std::optional<std::vector<tq::Value>> readRowOn(TQStoreConnections::Connection& connection,
                                                std::string_view entity, int64_t rowID) {
  auto& statement = connection.statement(statementsFor(entity).selectByID);
  statement.bindInt64(1, rowID);
  std::optional<std::vector<tq::Value>> values;
  if (statement.step()) {
    values = readRowValues(statement, entity, 1);
  }
  statement.reset();
  return values;
}

const std::string& mergeInsertSQL() {
  static const std::string sql = [] {
    const std::string& upsert = statementsFor(kTQDBResourceEntityName).insert;
    return upsert.substr(0, upsert.find(" DO UPDATE SET ")) +
           " DO UPDATE SET \"tags\" = excluded.\"tags\"";
  }();
  return sql;
}

const std::string& relationshipInsertSQL() {
  static const std::string sql =
      "INSERT OR IGNORE INTO " + quotedIdentifier(TQDataModel::kETagResourcesTable) + " (" +
      quotedIdentifier(TQDataModel::kETagResourcesETagColumn) + ", " +
      quotedIdentifier(TQDataModel::kETagResourcesResourceColumn) + ") VALUES (?1, ?2)";
  return sql;
}

const std::string& relatedResourcesWhere() {
  static const std::string sql = quotedIdentifier(TQDataModel::kObjectIDColumn) + " IN (SELECT " +
                                 quotedIdentifier(TQDataModel::kETagResourcesResourceColumn) +
                                 " FROM " + quotedIdentifier(TQDataModel::kETagResourcesTable) +
                                 " WHERE " +
                                 quotedIdentifier(TQDataModel::kETagResourcesETagColumn) + " = ?1)";
  return sql;
}

int64_t stepInsert(TQStoreConnections::Connection& connection, tq::SQLiteStatement& statement,
                   const std::string* uri) {
  // Row identifiers only grow, so a new row always moves the last one inserted; an upsert that
  // updated a row leaves it, and that row is found by its uri. (A row of the other entity may
  // share the number; then the look-up just confirms it.) RETURNING would answer directly but
  // makes every insert slower.
  const int64_t before = connection.database().lastInsertRowId();
  statement.step();
  statement.reset();
  const int64_t after = connection.database().lastInsertRowId();
  if (after != before || uri == nullptr) {
    return after;
  }
  auto& lookUp = connection.statement(selectIDWhereSQL(kTQDBResourceEntityName, "uri"));
  lookUp.bindText(1, *uri);
  const int64_t rowID = lookUp.step() ? lookUp.columnInt64(0).value_or(0) : 0;
  lookUp.reset();
  return rowID;
}

std::string selectIDWhereSQL(std::string_view entity, std::string_view column) {
  const std::string objectID = quotedIdentifier(TQDataModel::kObjectIDColumn);
  return "SELECT " + objectID + " FROM " + quotedIdentifier(entity) + " WHERE " +
         quotedIdentifier(column) + " = ?1 ORDER BY " + objectID + " LIMIT 1";
}

std::string deleteWhereInSQL(const TQAttribute& attribute) {
  return "DELETE FROM " + quotedIdentifier(attribute.entity) + " WHERE " +
         quotedIdentifier(attribute.column) + " IN (SELECT value FROM json_each(?1))";
}

std::string deleteWhereIdentifierInSQL(std::string_view entity) {
  return "DELETE FROM " + quotedIdentifier(entity) + " WHERE " +
         quotedIdentifier(TQDataModel::kObjectIDColumn) + " IN (SELECT value FROM json_each(?1))";
}

std::string deleteWhereEqualSQL(const TQAttribute& attribute) {
  return "DELETE FROM " + quotedIdentifier(attribute.entity) + " WHERE " +
         quotedIdentifier(attribute.column) + " = ?1";
}

std::string jsonArrayForColumn(TQAttributeKind kind, std::span<const tq::Value> values,
                               size_t& members) {
  std::string array = "[";
  members = 0;
  for (const tq::Value& value : values) {
    const size_t before = array.size();
    if (members > 0) {
      array.push_back(',');
    }
    if (appendJSONMember(array, kind, value)) {
      ++members;
    } else {
      array.resize(before);
    }
  }
  array.push_back(']');
  return array;
}

std::string orderByIdentifier() {
  return " ORDER BY " + quotedIdentifier(TQDataModel::kObjectIDColumn) + " ASC";
}

bool isEntity(std::string_view entity) {
  return entity == kTQDBResourceEntityName || entity == kTQETagEntityName;
}

std::optional<Query> buildQuery(const TQFetchRequest& request, TQStoreError* error) {
  const std::string_view entity = request.entityName;
  if (!isEntity(entity)) {
    logProblem("No entity named " + printableKey(entity) + " in the store.");
    setError(error, TQStoreErrorCode::UnknownKey, "Unknown entity.");
    return std::nullopt;
  }
  Query query;
  for (const TQSortDescriptor& sort : request.sortDescriptors) {
    const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, sort.key);
    if (attribute == nullptr) {
      logProblem(unknownKeyMessage(entity, sort.key));
      setError(error, TQStoreErrorCode::UnknownKey, "Unknown sort key.");
      return std::nullopt;
    }
    query.orderBy += (query.orderBy.empty() ? " ORDER BY " : ", ") +
                     quotedIdentifier(attribute->column) + (sort.ascending ? " ASC" : " DESC");
  }
  query.orderBy += (query.orderBy.empty() ? " ORDER BY " : ", ") +
                   quotedIdentifier(TQDataModel::kObjectIDColumn) + " ASC";
  auto rendered = renderPredicate(entity, request.predicate, error);
  query.where = std::move(rendered.sql);
  query.bindings = std::move(rendered.bindings);
  if (request.fetchLimit > 0 || request.fetchOffset > 0) {
    // SQLite reads a negative limit as none. Both numbers are bound, so every page shares one
    // prepared statement.
    const auto first = query.bindings.size() + 1;
    query.limit = " LIMIT ?" + std::to_string(first) + " OFFSET ?" + std::to_string(first + 1);
    query.bindings.emplace_back(request.fetchLimit > 0 ? clampedCount(request.fetchLimit)
                                                       : int64_t{-1});
    query.bindings.emplace_back(clampedCount(request.fetchOffset));
  }
  return query;
}

std::string whereClause(const std::string& where) {
  return where.empty() ? std::string() : " WHERE " + where;
}

}  // namespace TQEntitySQL
