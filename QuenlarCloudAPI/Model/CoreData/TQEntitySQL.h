// TQEntitySQL: the SQL of the stored entities, built from the attribute registry alone: the
// statements that read and write rows, the reading of fetch requests into WHERE and ORDER BY
// clauses, and the row codec. Keys from callers are looked up in the registry; one that is not
// there never reaches SQL: it is logged (shortened, control characters replaced) and matches
// nothing. Stateless apart from statement texts built once; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
// binds the identifier last).
struct Statements {
  std::string select;  // without WHERE
  std::string insert;
  std::string update;
  std::string selectByID;  // ?1: the identifier
};

bool isEntity(std::string_view entity);
// For a known entity (isEntity).
const Statements& statementsFor(std::string_view entity);
// Relates ?1 (a TQETag) to ?2 (a TQDBResource); relating them twice is no error.
const std::string& relationshipInsertSQL();
// Selects the TQDBResource rows related to the TQETag row ?1.
const std::string& relatedResourcesWhere();
// " ORDER BY" the identifier: the order in which rows were stored.
std::string orderByIdentifier();

struct Query {
  std::string where;  // without WHERE; empty for every row
  std::vector<tq::Value> bindings;
  std::string orderBy;  // " ORDER BY ...", ending with the identifier so the order is total
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
