// SQLiteDatabase: one connection to a SQLite database file, closed when the object goes away.
//
// Every failure throws SQLiteError. A connection, and the statements prepared on it, serve one
// thread at a time; use one connection per thread (WAL mode lets readers run beside the writer).
// Not copyable or movable: statements refer to it; hold it by unique_ptr to pass it around.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/SQLiteError.h"
#include "QuenlarCloudAPI/Platform/SQLiteStatement.h"

struct sqlite3;

namespace tq {

class SQLiteDatabase {
 public:
  enum class OpenMode { ReadOnly, ReadWrite, ReadWriteCreate };

  // Opens the database file; ReadWriteCreate creates it when missing.
  explicit SQLiteDatabase(const std::filesystem::path& path,
                          OpenMode mode = OpenMode::ReadWriteCreate);
  ~SQLiteDatabase();
  SQLiteDatabase(const SQLiteDatabase&) = delete;
  SQLiteDatabase& operator=(const SQLiteDatabase&) = delete;

  // Runs one or more statements that answer no rows (schema, pragmas, transactions).
  void exec(std::string_view sql);

  // Prepares exactly one statement; text after it other than blanks and ";" is an error.
  SQLiteStatement prepare(std::string_view sql);

  int64_t lastInsertRowId() const;
  // Rows changed by the last INSERT, UPDATE or DELETE.
  int64_t changes() const;
  // Rows changed by every INSERT, UPDATE and DELETE since the connection opened.
  int64_t totalChanges() const;
  // True while a transaction is open; false again once SQLite ends one on its own after an error.
  bool inTransaction() const;

  // How long a statement waits for another connection's lock before failing with kBusy.
  void setBusyTimeout(std::chrono::milliseconds timeout);

  // Switches the database file to write-ahead logging; throws when it stays in another mode.
  void enableWriteAheadLog();

  // Registers `name(text)` as a deterministic SQL function of one argument answering text.
  // A NULL argument answers NULL without calling `function`; a non-text argument is passed in
  // its text form. An exception from `function` becomes an SQL error of the statement (its
  // message is not passed on). Registering a name again replaces the function.
  using TextFunction = std::function<std::string(std::string_view)>;
  void registerFunction(const std::string& name, TextFunction function);

  const std::filesystem::path& path() const { return path_; }

 private:
  [[noreturn]] void fail(int result, const char* operation) const;

  std::filesystem::path path_;
  sqlite3* handle_ = nullptr;
};

}  // namespace tq
