#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace TQDataModel {
namespace {

std::string_view columnType(TQAttributeKind kind) {
  switch (kind) {
    case TQAttributeKind::Text:
      return "TEXT";
    case TQAttributeKind::Number:
      return "NUMERIC";
    case TQAttributeKind::Boolean:
    case TQAttributeKind::Date:
      return "INTEGER";
  }
  return "BLOB";
}

std::string entityTableSQL(std::string_view entity) {
  // AUTOINCREMENT keeps row numbers from ever being handed out twice, even after every row has
  // been deleted: an identifier the host kept from before a logout can never name a new row.
  std::string sql = "CREATE TABLE " + quotedIdentifier(entity) + " (" +
                    quotedIdentifier(kObjectIDColumn) + " INTEGER PRIMARY KEY AUTOINCREMENT";
  for (const TQAttribute& attribute : TQAttributeRegistry::attributesOfEntity(entity)) {
    sql += ", " + quotedIdentifier(attribute.column) + " ";
    sql += columnType(attribute.kind);
  }
  sql += ");\n";
  return sql;
}

int64_t pragmaValue(tq::SQLiteDatabase& database, std::string_view pragma) {
  auto statement = database.prepare("PRAGMA " + std::string(pragma));
  return statement.step() ? statement.columnInt64(0).value_or(0) : 0;
}

constexpr int32_t kFirstModelVersion = 1;
constexpr int kPageSize = 16384;

// Merges (upserts) find rows by uri, so a uri names one row at most; so does the index.
std::string uriIndexSQL() {
  return "CREATE UNIQUE INDEX \"TQDBResource_uri\" ON " +
         quotedIdentifier(kTQDBResourceEntityName) + " (\"uri\");\n";
}

// Version 1 allowed two rows with one uri (two merges could each miss it and insert it).
void migrateFromFirstVersion(tq::SQLiteDatabase& database) {
  const std::string resource = quotedIdentifier(kTQDBResourceEntityName);
  const std::string objectID = quotedIdentifier(kObjectIDColumn);
  const std::string relations = quotedIdentifier(kETagResourcesTable);
  const std::string relationETag = quotedIdentifier(kETagResourcesETagColumn);
  const std::string relationResource = quotedIdentifier(kETagResourcesResourceColumn);
  const std::string newestPerURI = "SELECT \"uri\", max(" + objectID + ") AS keep FROM " +
                                   resource + " WHERE \"uri\" IS NOT NULL GROUP BY \"uri\"";
  tq::SQLiteTransaction transaction(database);
  database.exec("INSERT OR IGNORE INTO " + relations + " (" + relationETag + ", " +
                relationResource + ") SELECT r." + relationETag + ", n.keep FROM " + relations +
                " AS r JOIN " + resource + " AS d ON d." + objectID + " = r." + relationResource +
                " JOIN (" + newestPerURI + ") AS n ON n.\"uri\" = d.\"uri\" WHERE d." + objectID +
                " <> n.keep;");
  database.exec("DELETE FROM " + resource + " WHERE \"uri\" IS NOT NULL AND " + objectID +
                " NOT IN (SELECT keep FROM (" + newestPerURI + "));");
  const int64_t removed = database.changes();
  database.exec("DROP INDEX IF EXISTS \"TQDBResource_uri\";\n" + uriIndexSQL());
  database.exec("PRAGMA user_version = " + std::to_string(kModelVersion) + ";");
  transaction.commit();
  tq::systemLog("[INFO] The store was brought to data model version " +
                std::to_string(kModelVersion) + "; " + std::to_string(removed) +
                " rows repeating a newer row's uri were removed.");
}

// Indexes change no stored value, so a store of the current version that lacks them (made before
// they existed) gets them when it opens, and the version stays.
std::string pathIndexesSQL() {
  const std::string resource = quotedIdentifier(kTQDBResourceEntityName);
  return "CREATE INDEX IF NOT EXISTS \"TQDBResource_fullPath\" ON " + resource +
         " (\"fullPath\" COLLATE NOCASE);\n"
         "CREATE INDEX IF NOT EXISTS \"TQDBResource_fullPath_other\" ON " +
         resource + " (\"fullPath\") WHERE " + pathOutsideNoCaseCondition() + ";\n";
}

void addMissingIndexes(tq::SQLiteDatabase& database) {
  try {
    database.exec(pathIndexesSQL());
  } catch (const tq::SQLiteError& error) {
    // Only the full sync's deletions get slower without them.
    tq::systemLog(std::string("[ERROR] The store's path indexes could not be made: ") +
                  error.what());
  }
}

}  // namespace

const std::string& pathOutsideNoCaseCondition() {
  // GLOB reads text up to a NUL, so a NUL is looked for apart.
  static const std::string condition =
      "(\"fullPath\" GLOB '*[^ -~]*' OR instr(\"fullPath\", char(0)) > 0)";
  return condition;
}

std::string schemaSQL() {
  const std::string resource = quotedIdentifier(kTQDBResourceEntityName);
  const std::string eTag = quotedIdentifier(kTQETagEntityName);
  const std::string objectID = quotedIdentifier(kObjectIDColumn);
  std::string sql = entityTableSQL(kTQDBResourceEntityName) + entityTableSQL(kTQETagEntityName);
  const std::string relationETag = quotedIdentifier(kETagResourcesETagColumn);
  const std::string relationResource = quotedIdentifier(kETagResourcesResourceColumn);
  sql += "CREATE TABLE " + quotedIdentifier(kETagResourcesTable) + " (" + relationETag +
         " INTEGER NOT NULL REFERENCES " + eTag + "(" + objectID + ") ON DELETE CASCADE, " +
         relationResource + " INTEGER NOT NULL REFERENCES " + resource + "(" + objectID +
         ") ON DELETE CASCADE, PRIMARY KEY (" + relationETag + ", " + relationResource +
         ")) WITHOUT ROWID;\n";
  // The full sync looks rows up by uri and folders by eTagID once per object it merges; the
  // local search sorts by name unless told otherwise.
  sql += uriIndexSQL();
  sql += "CREATE INDEX \"TQDBResource_name\" ON " + resource + " (\"name\");\n";
  sql += "CREATE INDEX \"TQETag_eTagID\" ON " + eTag + " (\"eTagID\");\n";
  sql += "CREATE INDEX \"TQETag_resources_resource\" ON " + quotedIdentifier(kETagResourcesTable) +
         " (" + relationResource + ");\n";
  sql += pathIndexesSQL();
  return sql;
}

bool prepareDatabase(tq::SQLiteDatabase& database, std::string& reason) {
  // Only read the header first: a file that is not our store must be left exactly as it is.
  const int64_t applicationID = pragmaValue(database, "application_id");
  const int64_t version = pragmaValue(database, "user_version");
  const int64_t schemaObjects = [&] {
    auto statement = database.prepare("SELECT count(*) FROM sqlite_master");
    return statement.step() ? statement.columnInt64(0).value_or(0) : 0;
  }();
  if (applicationID == kApplicationID && version == kModelVersion) {
    addMissingIndexes(database);
    return true;
  }
  if (applicationID == kApplicationID && version == kFirstModelVersion) {
    migrateFromFirstVersion(database);
    addMissingIndexes(database);
    return true;
  }
  if (applicationID != 0 || version != 0 || schemaObjects != 0) {
    reason = "The store file was made by another data model (application " +
             std::to_string(applicationID) + ", version " + std::to_string(version) +
             ") than the library's \"" + std::string(kModelName) + "\" version " +
             std::to_string(kModelVersion) + ".";
    return false;
  }
  // Rows of a resource are a few hundred bytes and merges write them by the ten thousand: larger
  // pages cut a bulk write by a fifth. Only an empty file takes a new page size.
  database.exec("PRAGMA page_size = " + std::to_string(kPageSize) + ";");
  tq::SQLiteTransaction transaction(database);
  database.exec(schemaSQL());
  database.exec("PRAGMA application_id = " + std::to_string(kApplicationID) + ";");
  database.exec("PRAGMA user_version = " + std::to_string(kModelVersion) + ";");
  transaction.commit();
  return true;
}

}  // namespace TQDataModel
