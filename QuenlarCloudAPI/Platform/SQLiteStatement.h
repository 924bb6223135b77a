// SQLiteStatement: one prepared statement of a SQLiteDatabase, owned exclusively (move-only).
//
// Parameters are numbered from 1 and columns from 0, as in SQLite. Every failure throws
// SQLiteError; a failed step resets the statement so it can be run again. Text and blobs are
// copied when bound, so the caller's buffers may go away at once (bindTextUncopied aside). The
// statement must not outlive its database, and is used by one thread at a time (like its database).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tq {

class SQLiteStatement {
 public:
  enum class ColumnType { Integer, Real, Text, Blob, Null };

  SQLiteStatement(SQLiteStatement&& other) noexcept;
  SQLiteStatement& operator=(SQLiteStatement&& other) noexcept;
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;
  ~SQLiteStatement();

  void bindNull(int index);
  void bindInt64(int index, int64_t value);
  void bindDouble(int index, double value);
  void bindText(int index, std::string_view text);
  void bindBlob(int index, std::string_view bytes);  // bytes may hold NULs
  // Binds text without copying it, for rows bound by the thousand: `text` must stay alive and
  // unchanged until this parameter is bound again, the bindings are cleared or the statement
  // goes away (reset() alone keeps the binding).
  void bindTextUncopied(int index, std::string_view text);

  // The index of the named parameter (":name", "@name", "$name"), or 0 when there is none.
  int parameterIndex(const std::string& name) const;

  // Runs the statement to its next row: true when a row is ready to read, false when done.
  bool step();

  int columnCount() const;
  ColumnType columnType(int column) const;
  bool isNull(int column) const { return columnType(column) == ColumnType::Null; }

  // The column's value of the current row, converted the way SQLite converts; nullopt for NULL.
  std::optional<int64_t> columnInt64(int column) const;
  std::optional<double> columnDouble(int column) const;
  std::optional<std::string> columnText(int column) const;
  std::optional<std::string> columnBlob(int column) const;

  // The column's value of the current row as SQLite holds it, its type asked once: a number for
  // Integer and Real, the bytes for Text (valid until the next step or reset; blobs are not
  // read), nothing else. For reading rows by the ten thousand, where each extra question counts.
  struct ColumnValue {
    ColumnType type = ColumnType::Null;
    int64_t integer = 0;
    double real = 0;
    std::string_view text;
  };
  ColumnValue columnValue(int column) const;

  // Makes the statement ready to run again; bindings stay unless cleared.
  void reset();
  void clearBindings();

 private:
  friend class SQLiteDatabase;
  SQLiteStatement(sqlite3* database, sqlite3_stmt* statement)
      : database_(database), statement_(statement) {}

  void check(int result, const char* operation) const;
  void checkColumn(int column) const;

  sqlite3* database_;
  sqlite3_stmt* statement_;
};

}  // namespace tq
