#include "QuenlarCloudAPI/Platform/SQLiteStatement.h"

#include <sqlite3.h>

#include <utility>

#include "QuenlarCloudAPI/Platform/SQLiteError.h"

namespace tq {

SQLiteStatement::SQLiteStatement(SQLiteStatement&& other) noexcept
    : database_(other.database_), statement_(std::exchange(other.statement_, nullptr)) {}

SQLiteStatement& SQLiteStatement::operator=(SQLiteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    database_ = other.database_;
    statement_ = std::exchange(other.statement_, nullptr);
  }
  return *this;
}

SQLiteStatement::~SQLiteStatement() { sqlite3_finalize(statement_); }

void SQLiteStatement::check(int result, const char* operation) const {
  if (result != SQLITE_OK) {
    throw SQLiteError(result, std::string("SQLite ") + operation + ": " + sqlite3_errstr(result));
  }
}

void SQLiteStatement::checkColumn(int column) const {
  if (column < 0 || column >= columnCount()) {
    throw SQLiteError(SQLITE_RANGE,
                      "SQLite column " + std::to_string(column) + ": column index out of range");
  }
}

void SQLiteStatement::bindNull(int index) { check(sqlite3_bind_null(statement_, index), "bind"); }

void SQLiteStatement::bindInt64(int index, int64_t value) {
  check(sqlite3_bind_int64(statement_, index, value), "bind");
}

void SQLiteStatement::bindDouble(int index, double value) {
  check(sqlite3_bind_double(statement_, index, value), "bind");
}

void SQLiteStatement::bindText(int index, std::string_view text) {
  // A null pointer would bind NULL; empty text must stay empty text.
  check(sqlite3_bind_text64(statement_, index, text.empty() ? "" : text.data(), text.size(),
                            SQLITE_TRANSIENT, SQLITE_UTF8),
        "bind");
}

void SQLiteStatement::bindTextUncopied(int index, std::string_view text) {
  check(sqlite3_bind_text64(statement_, index, text.empty() ? "" : text.data(), text.size(),
                            SQLITE_STATIC, SQLITE_UTF8),
        "bind");
}

void SQLiteStatement::bindBlob(int index, std::string_view bytes) {
  check(bytes.empty()
            ? sqlite3_bind_zeroblob(statement_, index, 0)
            : sqlite3_bind_blob64(statement_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT),
        "bind");
}

int SQLiteStatement::parameterIndex(const std::string& name) const {
  return sqlite3_bind_parameter_index(statement_, name.c_str());
}

bool SQLiteStatement::step() {
  const int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) {
    return true;
  }
  if (result == SQLITE_DONE) {
    return false;
  }
  // Read the message before reset, which may replace it.
  const std::string message = std::string("SQLite step: ") + sqlite3_errmsg(database_);
  const int code = sqlite3_extended_errcode(database_);
  sqlite3_reset(statement_);
  throw SQLiteError(code != SQLITE_OK ? code : result, message);
}

int SQLiteStatement::columnCount() const { return sqlite3_column_count(statement_); }

SQLiteStatement::ColumnType SQLiteStatement::columnType(int column) const {
  checkColumn(column);
  switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
      return ColumnType::Integer;
    case SQLITE_FLOAT:
      return ColumnType::Real;
    case SQLITE_TEXT:
      return ColumnType::Text;
    case SQLITE_BLOB:
      return ColumnType::Blob;
    default:
      return ColumnType::Null;
  }
}

std::optional<int64_t> SQLiteStatement::columnInt64(int column) const {
  if (isNull(column)) {
    return std::nullopt;
  }
  return sqlite3_column_int64(statement_, column);
}

std::optional<double> SQLiteStatement::columnDouble(int column) const {
  if (isNull(column)) {
    return std::nullopt;
  }
  return sqlite3_column_double(statement_, column);
}

std::optional<std::string> SQLiteStatement::columnText(int column) const {
  if (isNull(column)) {
    return std::nullopt;
  }
  const auto* text = sqlite3_column_text(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (text == nullptr) {
    return std::string();
  }
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
}

std::optional<std::string> SQLiteStatement::columnBlob(int column) const {
  if (isNull(column)) {
    return std::nullopt;
  }
  const void* data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (data == nullptr) {
    return std::string();
  }
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

SQLiteStatement::ColumnValue SQLiteStatement::columnValue(int column) const {
  checkColumn(column);
  ColumnValue value;
  switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
      value.type = ColumnType::Integer;
      value.integer = sqlite3_column_int64(statement_, column);
      break;
    case SQLITE_FLOAT:
      value.type = ColumnType::Real;
      value.real = sqlite3_column_double(statement_, column);
      break;
    case SQLITE_TEXT: {
      value.type = ColumnType::Text;
      const auto* text = sqlite3_column_text(statement_, column);
      const int size = sqlite3_column_bytes(statement_, column);
      if (text != nullptr) {
        value.text =
            std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
      }
      break;
    }
    case SQLITE_BLOB:
      value.type = ColumnType::Blob;
      break;
    default:
      break;
  }
  return value;
}

void SQLiteStatement::reset() {
  // The result of reset repeats the last step's error, already reported by step().
  sqlite3_reset(statement_);
}

void SQLiteStatement::clearBindings() { sqlite3_clear_bindings(statement_); }

}  // namespace tq
