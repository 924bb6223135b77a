// PredicateSQL: what a SQLite connection needs to run the SQL of Predicate::render(): the
// match-form functions it calls, and the binding of its values as the columns store them.
//
// registerPredicateFunctions() must run on every connection that prepares a rendered predicate
// (else preparing fails with "no such function"); the functions are deterministic and keep no
// state, so they are safe on any number of connections at once.
#pragma once

#include <vector>

#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/SQLiteDatabase.h"
#include "QuenlarCloudAPI/Platform/SQLiteStatement.h"

namespace tq {

// Registers tq_fold, tq_fold_c, tq_fold_d and tq_fold_cd: Predicate::matchForm() of their one
// text argument with no option, [c], [d] and [cd]; NULL for NULL.
void registerPredicateFunctions(SQLiteDatabase& database);

// Binds one value: NULL, INTEGER (booleans as 0/1, dates as milliseconds since the epoch), REAL
// or TEXT.
void bindValue(SQLiteStatement& statement, int index, const Value& value);

// Binds `values` in order, the first at parameter `first`.
void bindValues(SQLiteStatement& statement, const std::vector<Value>& values, int first = 1);

// Binds every value of `rendered`, the first at `firstParameter` (as given to render()).
void bindRenderedSQL(SQLiteStatement& statement, const RenderedSQL& rendered,
                     int firstParameter = 1);

}  // namespace tq
