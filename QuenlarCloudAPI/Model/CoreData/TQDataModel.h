// TQDataModel: the compiled-in data model "TQCloud" of the local store: the SQL schema of the
// entities TQDBResource and TQETag, built from the attribute registry, and its version.
//
// A store file carries the model's version and an application identifier in its header. A file of
// this library at version 1 is brought to the current version in place (see prepareDatabase); any
// other pair (a newer model, another program's database) is not opened and never changed. Change
// kModelVersion whenever the tables change; an index that changes no stored value is added to a
// store of the current version when it opens instead.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Predicate.h"

namespace tq {
class SQLiteDatabase;
}

namespace TQDataModel {

inline constexpr std::string_view kModelName = "TQCloud";
inline constexpr int32_t kModelVersion = 2;
// "TQCD" in ASCII: marks the file as this library's store.
inline constexpr int32_t kApplicationID = 0x54514344;

// The column that holds each row's identifier in every entity table.
inline constexpr std::string_view kObjectIDColumn = "objectID";
// The to-many relationship TQETag.resources: one row per (TQETag, TQDBResource) pair. Deleting
// either row removes the pair; deleting a TQETag leaves its resources.
inline constexpr std::string_view kETagResourcesTable = "TQETag_resources";
inline constexpr std::string_view kETagResourcesETagColumn = "eTag";
inline constexpr std::string_view kETagResourcesResourceColumn = "resource";

// The statements that create the schema in an empty database.
std::string schemaSQL();

// Deleting below a path folds case and diacritics. A fullPath of printable ASCII folds exactly as
// the NOCASE collation compares it (letters to lower case, nothing else changed), so its rows are
// found by range in an index of fullPath COLLATE NOCASE. Every other fullPath is in a partial index
// of its own, whose rows this condition selects.
const std::string& pathOutsideNoCaseCondition();

// Names are quoted exactly as rendered predicates quote their columns.
using tq::quotedIdentifier;

// Creates the schema and stamps the version when the database is empty, and adds the indexes a
// store of this model lacks. Answers true when the database is (now) a store of this model; false
// with `reason` filled when it is something else.
//
// A version 1 store, whose uri index was not unique, is migrated in one transaction: where rows
// repeat a uri, the newest (highest identifier) is kept, the folders related to the others are
// related to it instead, the others are deleted, and the system log says how many went; then
// the index becomes unique. Rows without a uri are all kept. The connection must have foreign
// keys on, so that deleted rows take their relations along.
//
// Throws tq::SQLiteError when SQLite cannot read or write the file.
bool prepareDatabase(tq::SQLiteDatabase& database, std::string& reason);

}  // namespace TQDataModel
