#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"

namespace {

namespace fs = std::filesystem;
using tq::SQLiteDatabase;
using tq::SQLiteError;
using tq::SQLiteStatement;
using tq::SQLiteTransaction;

class SQLiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "SQLiteTest-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    db_ = std::make_unique<SQLiteDatabase>(dir_ / "test.sqlite");
    db_->exec("CREATE TABLE item (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT UNIQUE)");
  }
  void TearDown() override {
    db_.reset();
    fs::remove_all(dir_);
  }

  int64_t count() {
    auto statement = db_->prepare("SELECT count(*) FROM item");
    EXPECT_TRUE(statement.step());
    return statement.columnInt64(0).value_or(-1);
  }

  // The error `action` throws; fails the test when it throws none.
  template <typename Action>
  static SQLiteError errorOf(Action action) {
    try {
      action();
    } catch (const SQLiteError& error) {
      return error;
    }
    ADD_FAILURE() << "no SQLiteError thrown";
    return SQLiteError(0, "none");
  }

  fs::path dir_;
  std::unique_ptr<SQLiteDatabase> db_;
};

TEST_F(SQLiteTest, BoundValuesRoundTrip) {
  using Type = SQLiteStatement::ColumnType;
  const std::string blobWithNuls("\0a\0\xFF\0", 5);
  const struct {
    const char* reason;
    void (*bind)(SQLiteStatement&, const std::string&);
    Type type;
    const char* sqlType;
  } cases[] = {
      {"null", [](SQLiteStatement& s, const std::string&) { s.bindNull(1); }, Type::Null, "null"},
      {"int64 min",
       [](SQLiteStatement& s, const std::string&) {
         s.bindInt64(1, std::numeric_limits<int64_t>::min());
       },
       Type::Integer, "integer"},
      {"double", [](SQLiteStatement& s, const std::string&) { s.bindDouble(1, -2.5); }, Type::Real,
       "real"},
      {"text", [](SQLiteStatement& s, const std::string&) { s.bindText(1, "caf\u00E9 \u2603"); },
       Type::Text, "text"},
      {"empty text is not null", [](SQLiteStatement& s, const std::string&) { s.bindText(1, ""); },
       Type::Text, "text"},
      {"blob with NULs", [](SQLiteStatement& s, const std::string& b) { s.bindBlob(1, b); },
       Type::Blob, "blob"},
      {"empty blob is not null", [](SQLiteStatement& s, const std::string&) { s.bindBlob(1, ""); },
       Type::Blob, "blob"},
  };
  auto statement = db_->prepare("SELECT ?1, typeof(?1)");
  for (const auto& c : cases) {
    statement.reset();
    statement.clearBindings();
    c.bind(statement, blobWithNuls);
    ASSERT_TRUE(statement.step()) << c.reason;
    EXPECT_EQ(statement.columnType(0), c.type) << c.reason;
    EXPECT_EQ(statement.columnText(1), c.sqlType) << c.reason;
    EXPECT_EQ(statement.isNull(0), c.type == Type::Null) << c.reason;
    EXPECT_FALSE(statement.step()) << c.reason;
  }

  statement.reset();
  statement.bindInt64(1, std::numeric_limits<int64_t>::max());
  ASSERT_TRUE(statement.step());
  EXPECT_EQ(statement.columnInt64(0), std::numeric_limits<int64_t>::max());
  statement.reset();
  statement.bindBlob(1, blobWithNuls);
  ASSERT_TRUE(statement.step());
  EXPECT_EQ(statement.columnBlob(0), blobWithNuls);
  statement.reset();
  statement.bindNull(1);
  ASSERT_TRUE(statement.step());
  EXPECT_EQ(statement.columnText(0), std::nullopt);
  EXPECT_EQ(statement.columnInt64(0), std::nullopt);
  EXPECT_EQ(statement.columnDouble(0), std::nullopt);
  EXPECT_EQ(statement.columnBlob(0), std::nullopt);
}

TEST_F(SQLiteTest, InsertsReportRowIdsAndChanges) {
  auto insert = db_->prepare("INSERT INTO item (name) VALUES (:name)");
  ASSERT_EQ(insert.parameterIndex(":name"), 1);
  EXPECT_EQ(insert.parameterIndex(":other"), 0);
  for (const char* name : {"a", "b", "c"}) {
    insert.reset();
    insert.bindText(1, name);
    EXPECT_FALSE(insert.step());
  }
  EXPECT_EQ(db_->lastInsertRowId(), 3);
  db_->exec("DELETE FROM item WHERE name <> 'a'");
  EXPECT_EQ(db_->changes(), 2);
  insert.reset();
  insert.bindText(1, "d");
  insert.step();
  EXPECT_EQ(db_->lastInsertRowId(), 4) << "row ids are never reused";
}

TEST_F(SQLiteTest, TransactionRollsBackUnlessCommitted) {
  try {
    SQLiteTransaction transaction(*db_);
    db_->exec("INSERT INTO item (name) VALUES ('lost')");
    throw std::runtime_error("failure mid-transaction");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(count(), 0) << "an exception rolls back";
  EXPECT_FALSE(db_->inTransaction());

  {
    SQLiteTransaction transaction(*db_, SQLiteTransaction::Mode::Deferred);
    db_->exec("INSERT INTO item (name) VALUES ('kept')");
    transaction.commit();
  }
  EXPECT_EQ(count(), 1);

  {
    SQLiteTransaction transaction(*db_);
    db_->exec("INSERT INTO item (name) VALUES ('undone')");
    transaction.rollback();
    transaction.rollback();
  }
  EXPECT_EQ(count(), 1) << "an explicit rollback, repeated, is harmless";
}

TEST_F(SQLiteTest, ErrorsCarryCodesButNoBoundValues) {
  auto insert = db_->prepare("INSERT INTO item (name) VALUES (?)");
  insert.bindText(1, "secret-value");
  insert.step();
  insert.reset();
  const auto duplicate = errorOf([&] { insert.step(); });
  EXPECT_EQ(duplicate.code(), SQLiteError::kConstraint);
  EXPECT_EQ(duplicate.extendedCode(), 2067) << "SQLITE_CONSTRAINT_UNIQUE";
  EXPECT_EQ(std::string(duplicate.what()).find("secret-value"), std::string::npos);
  insert.bindText(1, "other");
  EXPECT_NO_THROW(insert.step()) << "a failed step leaves the statement ready to run again";

  const struct {
    const char* reason;
    std::function<void()> action;
    int code;
  } cases[] = {
      {"syntax error", [&] { db_->prepare("SELEC 1"); }, SQLiteError::kError},
      {"two statements", [&] { db_->prepare("SELECT 1; SELECT 2"); }, SQLiteError::kMisuse},
      {"no statement", [&] { db_->prepare("  "); }, SQLiteError::kMisuse},
      {"bind past the parameters", [&] { db_->prepare("SELECT ?").bindInt64(2, 1); },
       SQLiteError::kRange},
      {"column past the result", [&] { db_->prepare("SELECT 1").columnText(3); },
       SQLiteError::kRange},
      {"exec on a missing table", [&] { db_->exec("DELETE FROM nothing"); }, SQLiteError::kError},
      {"open a missing file read-only",
       [&] { SQLiteDatabase(dir_ / "none.sqlite", SQLiteDatabase::OpenMode::ReadOnly); },
       SQLiteError::kCantOpen},
      {"write-ahead log on a memory database",
       [&] { SQLiteDatabase(":memory:").enableWriteAheadLog(); }, SQLiteError::kError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf(c.action).code(), c.code) << c.reason;
  }
}

TEST_F(SQLiteTest, SecondWriterIsBusyWhileTheFirstHoldsTheLock) {
  db_->enableWriteAheadLog();
  SQLiteDatabase other(dir_ / "test.sqlite");
  other.setBusyTimeout(std::chrono::milliseconds(0));
  SQLiteTransaction writing(*db_);
  EXPECT_EQ(errorOf([&] { SQLiteTransaction second(other); }).code(), SQLiteError::kBusy);
  auto reader = other.prepare("SELECT count(*) FROM item");
  EXPECT_TRUE(reader.step()) << "readers go on beside the writer";
}

TEST_F(SQLiteTest, RegisteredTextFunction) {
  db_->registerFunction("fold_cd",
                        [](std::string_view text) { return tq::Unicode::fold(text, true, true); });
  db_->registerFunction("fails",
                        [](std::string_view) -> std::string { throw std::runtime_error("boom"); });
  const struct {
    const char* reason;
    const char* sql;
    std::optional<std::string> expected;
  } cases[] = {
      {"folds text", "SELECT fold_cd('\u00C9cole')", "ecole"},
      {"NULL stays NULL", "SELECT fold_cd(NULL)", std::nullopt},
      {"numbers arrive as text", "SELECT fold_cd(12)", "12"},
      {"usable in a search",
       "SELECT count(*) FROM (SELECT 'CAF\u00C9' AS n) WHERE "
       "fold_cd(n) LIKE '%' || fold_cd('caf\u00E9') || '%'",
       "1"},
  };
  for (const auto& c : cases) {
    auto statement = db_->prepare(c.sql);
    ASSERT_TRUE(statement.step()) << c.reason;
    EXPECT_EQ(statement.columnText(0), c.expected) << c.reason;
  }
  auto failing = db_->prepare("SELECT fails('x')");
  const auto error = errorOf([&] { failing.step(); });
  EXPECT_EQ(error.code(), SQLiteError::kError);
  EXPECT_EQ(std::string(error.what()).find("boom"), std::string::npos);
}

}  // namespace
