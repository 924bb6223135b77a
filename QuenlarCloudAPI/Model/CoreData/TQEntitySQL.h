// TQEntitySQL: the SQL of the stored entities, built from the attribute registry alone: the
// statements that read and write rows, the reading of fetch requests into WHERE and ORDER BY
// clauses, and the row codec. Keys from callers are looked up in the registry; one that is not
// there never reaches SQL: it is logged (shortened, control characters replaced) and matches
// nothing. Stateless apart from statement texts built once; safe from any thread.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQFetchRequest.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/Value.h"

namespace TQEntitySQL {

// The statements of one entity. Rows are read as the identifier column followed by the
// attributes in registry order; insert and update bind the attributes in that order (update
// binds the identifier last). For TQDBResource, insert is an upsert: a row that already has the
// uri is updated in place, keeping its identifier (a nil uri always inserts); run it with
// stepInsert.
struct Statements {
  std::string select;  // without WHERE
  std::string insert;
  std::string update;
  std::string selectByID;  // ?1: the identifier
};

bool isEntity(std::string_view entity);
// For a known entity (isEntity).
const Statements& statementsFor(std::string_view entity);
// The insert of a TQDBResource as the full sync merges it, bound as statementsFor().insert: a row
// that already has the uri keeps every attribute but its tags, which take the new value. Run it
// with stepInsert.
const std::string& mergeInsertSQL();
// Relates ?1 (a TQETag) to ?2 (a TQDBResource); relating them twice is no error.
const std::string& relationshipInsertSQL();
// Selects the TQDBResource rows related to the TQETag row ?1.
const std::string& relatedResourcesWhere();
// " ORDER BY" the identifier: the order in which rows were stored.
std::string orderByIdentifier();
// Runs a bound insert of statementsFor() and answers the identifier of the row written: the new
// row's, or the row of `uri` (nullptr for a nil uri or a TQETag) that the upsert updated.
int64_t stepInsert(TQStoreConnections::Connection& connection, tq::SQLiteStatement& statement,
                   const std::string* uri);
// Answers the identifier of the row whose `column` is ?1, the oldest first (column from the
// registry or the data model, never from caller text).
std::string selectIDWhereSQL(std::string_view entity, std::string_view column);
// Deletes the rows whose attribute is one of the members of the JSON array bound to ?1, or is
// ?1 itself.
std::string deleteWhereInSQL(const TQAttribute& attribute);
std::string deleteWhereEqualSQL(const TQAttribute& attribute);
// Deletes the rows of the entity whose identifier is a member of the JSON array bound to ?1.
std::string deleteWhereIdentifierInSQL(std::string_view entity);
// The JSON array to bind to deleteWhereInSQL: the values that an equality comparison with the
// attribute can match (see Predicate.h: text for Text, a non-NaN number for Number, a boolean for
// Boolean, a date for Date), as the column stores them; the others match nothing and are left
// out, and so is text holding a NUL, which a JSON array cannot carry to SQLite whole. `members`
// counts what went in.
std::string jsonArrayForColumn(TQAttributeKind kind, std::span<const tq::Value> values,
                               size_t& members);

struct Query {
  std::string where;  // without WHERE; empty for every row
  std::vector<tq::Value> bindings;
  std::string orderBy;  // " ORDER BY ...", ending with the identifier so the order is total
  std::string limit;    // " LIMIT ... OFFSET ..." bound after the predicate's values; or empty
};
// nullopt (with `error` filled and a log line) for an unknown entity or sort key. An unknown
// predicate key fills `error` too, but its term simply matches nothing.
std::optional<Query> buildQuery(const TQFetchRequest& request, TQStoreError* error);
// The predicate's SQL over the entity's columns (empty for nullptr: every row). An unknown key
// fills `error` and its term matches nothing.
tq::RenderedSQL renderPredicate(std::string_view entity, const tq::PredicatePtr& predicate,
                                TQStoreError* error);
std::string whereClause(const std::string& where);

using tq::bindValues;
// The value of one column of the current row as an attribute of `kind` reads it; a value of
// another type reads as nil.
tq::Value readColumn(const tq::SQLiteStatement& statement, int column, TQAttributeKind kind);
// The attributes of the current row, in registry order, from column `first` on; a value of
// another type than its attribute's kind reads as nil.
std::vector<tq::Value> readRowValues(const tq::SQLiteStatement& statement, std::string_view entity,
                                     int first);
// The attributes of one row; nullopt when there is none.
std::optional<std::vector<tq::Value>> readRowOn(TQStoreConnections::Connection& connection,
                                                std::string_view entity, int64_t rowID);

void setError(TQStoreError* error, TQStoreErrorCode code, std::string description);
void logProblem(const std::string& text);
std::string printableKey(std::string_view key);
std::string unknownKeyMessage(std::string_view entity, std::string_view key);

}  // namespace TQEntitySQL
