// TQWriteTransaction: one write transaction of the local store, the only way anything is written
// to it. Merges run in one through TQPersistentStore::performWrite; contexts hold one from their
// first write (a fetch or deletion with changes to write) to their save, give it up between their
// calls to any other write that waits (writing it again at their next call), and a logout takes it
// from them at once.
//
// - Beginning takes the store's single writer (waiting at most the store's writer timeout, else
//   StoreBusy) and SQLite's write lock (BEGIN IMMEDIATE), and checks the epoch: a transaction for
//   an epoch older than the store's (a logout came after its work began) never begins
//   (StoreWasReset). Since the epoch only moves under the writer, it stays current until the end.
// - Reads made through it (resourceRowID, eTagRowID, connection()) run on the writer, so they see
//   every committed row and this transaction's own: a find-or-create here cannot race another.
// - It commits only through commit(); destroying it otherwise rolls everything back and gives the
//   writer back, whatever ended the scope (return or any exception).
// - When a logout begins, the transaction is asked to give way: its bulk operations check every
//   few hundred rows and throw TQWriteSupersededError, and commit() checks once more (answering
//   Superseded); the transaction then commits nothing.
// Operations throw on failure (tq::SQLiteError, TQWriteSupersededError, TQUnknownKeyError);
// perform() turns that, or anything else its body throws, into a TQStoreError. One thread at a time
// uses a transaction, though successive operations may run on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Model/TQResourceValues.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQWriteTransaction {
 public:
  using Body = std::function<void(TQWriteTransaction&)>;

  // Rows between two looks at a pending logout in the bulk operations; loops of the caller's own
  // that write row by row should call checkNotSuperseded() as often.
  static constexpr size_t kSupersededCheckInterval = 256;

  // Begins a transaction for `epoch`, runs `body` in it and commits when `body` returns. Answers
  // true once committed; false, with `error` filled and nothing committed, when the transaction
  // could not begin (NoStore, StoreWasReset, StoreBusy, SQLiteFailure), when `body` threw
  // (Superseded, SQLiteFailure, UnknownKey, WriteFailed for anything else; the exception does not
  // propagate) or when the commit failed.
  static bool perform(const std::shared_ptr<TQStoreConnections>& store, uint64_t epoch,
                      const Body& body, TQStoreError* error);
  // As perform, for the reset that empties the store (logout), in the writer `lease` that the
  // caller took with reset priority while announcing the reset (TQStoreConnections::ResetRequest);
  // it starts a new epoch when it commits.
  static bool performReset(const std::shared_ptr<TQStoreConnections>& store,
                           TQStoreConnections::WriterLease lease, const Body& body,
                           TQStoreError* error);
  // A transaction for `epoch`, or nullptr with `error` filled (as perform).
  static std::unique_ptr<TQWriteTransaction> begin(const std::shared_ptr<TQStoreConnections>& store,
                                                   uint64_t epoch, TQStoreError* error);

  ~TQWriteTransaction();
  TQWriteTransaction(const TQWriteTransaction&) = delete;
  TQWriteTransaction& operator=(const TQWriteTransaction&) = delete;

  // Makes everything written durable. False with `error` filled (Superseded, SQLiteFailure) when
  // it did not; everything is then rolled back. Afterwards the transaction only waits to be
  // destroyed, which gives the writer back; committing again answers the same.
  bool commit(TQStoreError* error);

  uint64_t epoch() const { return epoch_; }
  // Throws TQWriteSupersededError once a logout waits for this transaction to give way. Loops of
  // the caller's own call it every few hundred steps.
  void checkNotSuperseded() const;

  // The writer, for statements of the library's own (column names from the attribute registry).
  TQStoreConnections::Connection& connection() { return *lease_; }

  // Writes each resource by its uri, with one prepared statement: a row with that uri is updated
  // in place (keeping its identifier), else a row is inserted; a nil uri always inserts. Answers
  // the identifier of each resource's row, in order. `immutable` is not stored.
  std::vector<int64_t> upsertResources(std::span<const TQResourceValues> resources);

  // One resource as the full sync merged it: its row, and whether this call inserted the row (or
  // an earlier call of the same transaction did).
  struct MergedResource {
    int64_t rowID = 0;
    bool inserted = false;
  };
  // Writes each resource as the full sync merges an answer, with one prepared statement: a
  // resource whose uri names a stored row changes only that row's tags, everything else the row
  // holds staying as first stored; any other resource is inserted (a nil uri always inserts).
  // Answers one entry per resource, in order.
  std::vector<MergedResource> mergeResources(std::span<const TQResourceValues> resources);

  // Deletes every resource row whose fullPath is one of `paths` or lies below one of them
  // ("<path>/..."), compared without regard to case or diacritics, except the rows in `keep`. A
  // path's trailing "/" is ignored, and a path that is then empty (the root) deletes nothing: a
  // sibling that merely begins with a path ("/a/bc" for "/a/b") stays, and no path deletes every
  // row. Reads only the rows whose path begins like one of them (case folded as ASCII) and those
  // whose path is not printable ASCII, through indexes. Answers the number of rows deleted.
  int64_t deleteResourcesAtPaths(std::span<const std::string> paths,
                                 const std::unordered_set<int64_t>& keep);

  // Deletes, in one statement, every row of the entity whose attribute `key` equals one of
  // `values` (as an equality predicate compares them; a nil value or one of another kind than the
  // attribute's matches nothing). Answers the number of rows deleted.
  int64_t deleteObjectsWhereIn(std::string_view entity, std::string_view key,
                               std::span<const tq::Value> values);

  // The identifier of the resource row with that uri, or of the oldest TQETag row with that
  // eTagID; nullopt when there is none.
  std::optional<int64_t> resourceRowID(std::string_view uri);
  std::optional<int64_t> eTagRowID(std::string_view eTagID);
  // Sets the ETag of the folder's TQETag row, inserting the row when there is none; answers its
  // identifier.
  int64_t writeETag(std::string_view eTagID, const std::optional<std::string>& eTag);
  // Relates each resource row to the TQETag row (TQETag.resources); relating twice is no error.
  void relateResources(int64_t eTagRowID, std::span<const int64_t> resourceRowIDs);

  // Fills `error` from the exception being handled (call only inside a catch block) and logs the
  // failures that are not a logout's doing. `operation` names what failed, for the log.
  static void describeCurrentException(TQStoreError* error, const char* operation);

 private:
  TQWriteTransaction(std::shared_ptr<TQStoreConnections> store,
                     TQStoreConnections::WriterLease lease, uint64_t epoch, bool isReset);
  static bool run(std::unique_ptr<TQWriteTransaction> transaction, const Body& body,
                  TQStoreError* error);
  void checkpointIfLarge();

  // Turns the writer's relation checks off for a reset, whose deletions then drop each whole table
  // at once instead of row by row (every table is emptied, so no relation is left to check), and
  // on again before the writer is given back. Nothing for any other transaction.
  class RelationChecksOff {
   public:
    RelationChecksOff(tq::SQLiteDatabase& database, bool off);
    ~RelationChecksOff();
    RelationChecksOff(const RelationChecksOff&) = delete;
    RelationChecksOff& operator=(const RelationChecksOff&) = delete;

   private:
    tq::SQLiteDatabase* database_;  // nullptr when the checks stay on
  };

  // Declared in this order so that the rollback runs before the relation checks come back on, and
  // both before the writer is given back.
  const std::shared_ptr<TQStoreConnections> store_;
  TQStoreConnections::WriterLease lease_;
  RelationChecksOff relationChecks_;
  tq::SQLiteTransaction transaction_;
  const uint64_t epoch_;
  const bool isReset_;
  const int64_t changesAtBegin_;
  enum class State { Open, Committed, RolledBack } state_ = State::Open;
};
