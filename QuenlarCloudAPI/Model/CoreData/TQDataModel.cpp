#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"

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

}  // namespace

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
  sql += "CREATE INDEX \"TQDBResource_uri\" ON " + resource + " (\"uri\");\n";
  sql += "CREATE INDEX \"TQDBResource_name\" ON " + resource + " (\"name\");\n";
  sql += "CREATE INDEX \"TQETag_eTagID\" ON " + eTag + " (\"eTagID\");\n";
  sql += "CREATE INDEX \"TQETag_resources_resource\" ON " + quotedIdentifier(kETagResourcesTable) +
         " (" + relationResource + ");\n";
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
    return true;
  }
  if (applicationID != 0 || version != 0 || schemaObjects != 0) {
    reason = "The store file was made by another data model (application " +
             std::to_string(applicationID) + ", version " + std::to_string(version) +
             ") than the library's \"" + std::string(kModelName) + "\" version " +
             std::to_string(kModelVersion) + ".";
    return false;
  }
  tq::SQLiteTransaction transaction(database);
  database.exec(schemaSQL());
  database.exec("PRAGMA application_id = " + std::to_string(kApplicationID) + ";");
  database.exec("PRAGMA user_version = " + std::to_string(kModelVersion) + ";");
  transaction.commit();
  return true;
}

}  // namespace TQDataModel
