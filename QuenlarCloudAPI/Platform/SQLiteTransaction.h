// SQLiteTransaction: a transaction on a SQLiteDatabase for the life of a scope.
//
// Begins in the constructor; commit() makes it durable. Leaving the scope without commit(), by
// return or exception, rolls it back, so a half-done write never reaches the file. Immediate
// transactions take the write lock at once, so two writers fail (or wait) at BEGIN rather than
// at their first write. Used on the database's thread only; not copyable.
#pragma once

#include "QuenlarCloudAPI/Platform/SQLiteDatabase.h"

namespace tq {

class SQLiteTransaction {
 public:
  enum class Mode { Deferred, Immediate };

  explicit SQLiteTransaction(SQLiteDatabase& database, Mode mode = Mode::Immediate);
  ~SQLiteTransaction();
  SQLiteTransaction(const SQLiteTransaction&) = delete;
  SQLiteTransaction& operator=(const SQLiteTransaction&) = delete;

  // Throws SQLiteError when the commit fails; the transaction is then still open and is rolled
  // back when the object goes away (or by rollback()).
  void commit();
  void rollback();

 private:
  SQLiteDatabase& database_;
  bool open_ = true;
};

}  // namespace tq
