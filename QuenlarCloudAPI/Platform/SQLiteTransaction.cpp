#include "QuenlarCloudAPI/Platform/SQLiteTransaction.h"

namespace tq {

SQLiteTransaction::SQLiteTransaction(SQLiteDatabase& database, Mode mode) : database_(database) {
  database_.exec(mode == Mode::Immediate ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

SQLiteTransaction::~SQLiteTransaction() {
  try {
    rollback();
  } catch (...) {
    // A destructor must not throw; SQLite ends the transaction when the connection closes.
  }
}

void SQLiteTransaction::commit() {
  if (!open_) {
    return;
  }
  database_.exec("COMMIT");
  open_ = false;
}

void SQLiteTransaction::rollback() {
  if (!open_) {
    return;
  }
  open_ = false;
  // After some errors SQLite has already rolled back on its own; a second ROLLBACK would fail.
  if (database_.inTransaction()) {
    database_.exec("ROLLBACK");
  }
}

}  // namespace tq
