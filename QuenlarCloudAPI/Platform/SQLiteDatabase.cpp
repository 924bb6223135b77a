#include "QuenlarCloudAPI/Platform/SQLiteDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace tq {
namespace {

int openFlags(SQLiteDatabase::OpenMode mode) {
  // A connection serves one thread at a time (see the header), so SQLite's own lock around every
  // call would only cost time: a bulk write makes dozens of calls per row.
  constexpr int kOneThreadAtATime = SQLITE_OPEN_NOMUTEX;
  switch (mode) {
    case SQLiteDatabase::OpenMode::ReadOnly:
      return SQLITE_OPEN_READONLY | kOneThreadAtATime;
    case SQLiteDatabase::OpenMode::ReadWrite:
      return SQLITE_OPEN_READWRITE | kOneThreadAtATime;
    case SQLiteDatabase::OpenMode::ReadWriteCreate:
      break;
  }
  return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kOneThreadAtATime;
}

void callTextFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(context);
    return;
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const auto size = static_cast<std::size_t>(sqlite3_value_bytes(argv[0]));
  const auto& function =
      *static_cast<const SQLiteDatabase::TextFunction*>(sqlite3_user_data(context));
  try {
    const std::string result = function(std::string_view(text != nullptr ? text : "", size));
    sqlite3_result_text64(context, result.data(), result.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } catch (...) {
    // Nothing may unwind through SQLite's C frames.
    sqlite3_result_error(context, "SQL function failed", -1);
  }
}

void destroyTextFunction(void* function) {
  delete static_cast<SQLiteDatabase::TextFunction*>(function);
}

}  // namespace

SQLiteDatabase::SQLiteDatabase(const std::filesystem::path& path, OpenMode mode) : path_(path) {
  const int result = sqlite3_open_v2(path.c_str(), &handle_, openFlags(mode), nullptr);
  if (result != SQLITE_OK) {
    // SQLite may hand back a connection even when opening failed; it must be closed.
    const std::string message = "SQLite open " + path.string() + ": " +
                                (handle_ != nullptr ? sqlite3_errmsg(handle_) : "out of memory");
    const int code = handle_ != nullptr ? sqlite3_extended_errcode(handle_) : result;
    sqlite3_close_v2(handle_);
    handle_ = nullptr;
    throw SQLiteError(code, message);
  }
  sqlite3_extended_result_codes(handle_, 1);
}

SQLiteDatabase::~SQLiteDatabase() { sqlite3_close_v2(handle_); }

void SQLiteDatabase::fail(int result, const char* operation) const {
  const int code = sqlite3_extended_errcode(handle_);
  throw SQLiteError(code != SQLITE_OK ? code : result,
                    std::string("SQLite ") + operation + ": " + sqlite3_errmsg(handle_));
}

void SQLiteDatabase::exec(std::string_view sql) {
  const std::string text(sql);
  char* rawMessage = nullptr;
  const int result = sqlite3_exec(handle_, text.c_str(), nullptr, nullptr, &rawMessage);
  const std::unique_ptr<char, decltype(&sqlite3_free)> message(rawMessage, &sqlite3_free);
  if (result != SQLITE_OK) {
    const int code = sqlite3_extended_errcode(handle_);
    throw SQLiteError(code != SQLITE_OK ? code : result,
                      std::string("SQLite exec: ") +
                          (message != nullptr ? message.get() : sqlite3_errstr(result)));
  }
}

SQLiteStatement SQLiteDatabase::prepare(std::string_view sql) {
  if (sql.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw SQLiteError(SQLITE_TOOBIG, "SQLite prepare: statement text too long");
  }
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  const int result =
      sqlite3_prepare_v2(handle_, sql.data(), static_cast<int>(sql.size()), &statement, &tail);
  if (result != SQLITE_OK) {
    fail(result, "prepare");
  }
  SQLiteStatement prepared(handle_, statement);
  if (statement == nullptr) {
    throw SQLiteError(SQLiteError::kMisuse, "SQLite prepare: no statement in the text");
  }
  const std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
  if (!std::all_of(rest.begin(), rest.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ';';
      })) {
    throw SQLiteError(SQLiteError::kMisuse, "SQLite prepare: more than one statement in the text");
  }
  return prepared;
}

int64_t SQLiteDatabase::lastInsertRowId() const { return sqlite3_last_insert_rowid(handle_); }

int64_t SQLiteDatabase::changes() const { return sqlite3_changes64(handle_); }

int64_t SQLiteDatabase::totalChanges() const { return sqlite3_total_changes64(handle_); }

bool SQLiteDatabase::inTransaction() const { return sqlite3_get_autocommit(handle_) == 0; }

void SQLiteDatabase::setBusyTimeout(std::chrono::milliseconds timeout) {
  const auto ms = std::clamp<int64_t>(timeout.count(), 0, INT32_MAX);
  const int result = sqlite3_busy_timeout(handle_, static_cast<int>(ms));
  if (result != SQLITE_OK) {
    fail(result, "busy timeout");
  }
}

void SQLiteDatabase::enableWriteAheadLog() {
  auto statement = prepare("PRAGMA journal_mode=WAL");
  const auto mode = statement.step() ? statement.columnText(0) : std::nullopt;
  if (!mode || *mode != "wal") {
    throw SQLiteError(SQLiteError::kError, "SQLite journal mode: write-ahead logging unavailable");
  }
}

void SQLiteDatabase::registerFunction(const std::string& name, TextFunction function) {
  auto* userData = new TextFunction(std::move(function));
  // On failure SQLite itself calls destroyTextFunction on userData.
  const int result = sqlite3_create_function_v2(
      handle_, name.c_str(), 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, userData,
      &callTextFunction, nullptr, nullptr, &destroyTextFunction);
  if (result != SQLITE_OK) {
    fail(result, "register function");
  }
}

}  // namespace tq
