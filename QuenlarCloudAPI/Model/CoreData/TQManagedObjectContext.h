// TQManagedObjectContext: a handle over one write transaction of the local store
// (TQWriteTransaction), through which objects are fetched, inserted, changed and deleted.
//
// - Reads see the context's own unsaved writes; other contexts see them only once it has saved.
// - The first write (an insertion or change being written by a fetch or deletion, or a deletion)
//   begins the context's transaction, which takes the store's single writer. Between the
//   context's calls the writer stays with it only while no other write wants it: another write
//   (a merge, another context's) waits at most for the call in progress to end, then the context
//   yields: its transaction rolls back, and what it had written (objects, deletions, in their
//   order) is kept, to be written again in that order, in a new transaction, by its next call
//   that reads or writes. Writes that others committed meanwhile come first, as if this context
//   had written after them. So no writer outlives the call that took it for long, and the host
//   need not save promptly for merges to go on. A write that holds the writer inside a call of
//   its own (a merge) is not interrupted: a context waits for it, for the store's writer timeout
//   at most (then StoreBusy, and unwritten changes stay for the next try).
//   A find-or-create (TQManagedObjectEntity::findResource) takes no writer: its new object finds
//   its row when saved. save() commits everything since the last save in one transaction,
//   straight to the store file; a context that goes away unsaved writes nothing.
// - A resource inserted with the uri of a stored row updates that row (the store keeps one row
//   per uri) and takes its identifier; so does an ETag made by find-or-create whose eTagID names
//   a stored row.
// - A context belongs to the epoch of the store it was made in. Once the store has been reset
//   (logout), a context of an earlier epoch reads, writes and commits nothing: its fetches answer
//   no rows (StoreWasReset) and its save fails with StoreWasReset. A logout that begins while the
//   context's transaction is open (or yielded, with writes kept to write again) rolls it back at
//   once, even between calls: the context's next write or save fails with Superseded and nothing
//   of it is written.
// - Without a store (the file could not be opened) fetches answer nothing, saves fail with
//   NoStore and drop the changes, and nothing throws.
// Every operation is safe from any thread; operations on one context run one at a time. Writing
// through two contexts on one thread at once makes the second fail with StoreBusy.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQFetchRequest.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQManagedObject;
class TQObjectBlocks;
class TQObjectRegistry;
class TQWriteTransaction;

class TQManagedObjectContext : public std::enable_shared_from_this<TQManagedObjectContext> {
 public:
  enum class ConcurrencyType { MainQueue, PrivateQueue };

  // Contexts are made by TQPersistentStore; `store` is nullptr when the store has no file.
  static std::shared_ptr<TQManagedObjectContext> make(
      ConcurrencyType type, std::shared_ptr<TQStoreConnections> store, uint64_t epoch,
      std::shared_ptr<TQManagedObjectContext> parent);
  ~TQManagedObjectContext();
  TQManagedObjectContext(const TQManagedObjectContext&) = delete;
  TQManagedObjectContext& operator=(const TQManagedObjectContext&) = delete;

  ConcurrencyType concurrencyType() const { return type_; }
  // The main-queue context for a background context; nullptr for the main-queue context. Saving
  // a context writes to the store file directly, whatever its parent.
  const std::shared_ptr<TQManagedObjectContext>& parentContext() const { return parent_; }
  bool hasStore() const { return store_ != nullptr; }
  uint64_t epoch() const { return epoch_; }

  // The objects matching the request, sorted as it says (unsaved changes of this context are
  // written first, so they are seen). An unknown entity, predicate key or sort key answers no
  // rows with `error` filled and a line in the system log; so does a failed read.
  std::vector<std::shared_ptr<TQManagedObject>> executeFetchRequest(const TQFetchRequest& request,
                                                                    TQStoreError* error);
  // The same fetch answering identifiers only.
  std::vector<TQManagedObjectID> executeFetchRequestForObjectIDs(const TQFetchRequest& request,
                                                                 TQStoreError* error);
  // The same fetch answering, row by row in its order, the value of the attribute `key` (nil as
  // std::monostate): what the rows' objects would answer, without making them. A key that is no
  // attribute answers no rows, as an unknown sort key does.
  std::vector<tq::Value> executeFetchRequestForValues(const TQFetchRequest& request,
                                                      std::string_view key, TQStoreError* error);
  // The object of a stored row (the same object for the same row while it lives), or nullptr
  // with `error` filled when there is no such row.
  std::shared_ptr<TQManagedObject> existingObjectWithID(const TQManagedObjectID& objectID,
                                                        TQStoreError* error);

  // The objects of many stored rows, in the order of `objectIDs`, as existingObjectWithID answers
  // each (nullptr for an identifier without a row); the rows this context does not hold yet are
  // read a few thousand per statement, not one statement per row. A failed read fills `error`
  // and answers nullptr for the rows it did not read.
  std::vector<std::shared_ptr<TQManagedObject>> existingObjectsWithIDs(
      std::span<const TQManagedObjectID> objectIDs, TQStoreError* error);

  // executeFetchRequestForObjectIDs, then existingObjectsWithIDs of its answer, in one read: the
  // identifiers of the rows the request matches, in its order, each with its object in this
  // context (the live one when there is one, else one made from the row as read). The rows are
  // the committed ones, as a new background context fetches them; so while this context holds
  // the writer, whose rows the second step would read, it reads nothing and answers nullopt.
  // Answers no rows on the same failures as executeFetchRequestForObjectIDs.
  std::optional<std::vector<std::pair<TQManagedObjectID, std::shared_ptr<TQManagedObject>>>>
  executeFetchRequestForCommittedObjects(const TQFetchRequest& request, TQStoreError* error);

  // Adds a new object; it is written at the next fetch, deletion or save.
  void insertObject(const std::shared_ptr<TQManagedObject>& object);
  // Deletes every row of the entity that the predicate matches (nullptr: every row) inside this
  // context's transaction. An OR of equality comparisons of one attribute (a list of uris) is
  // deleted as one set by one statement; any other OR of many terms is applied in slices, so it
  // stays within SQLite's limits.
  bool deleteObjects(std::string_view entity, const tq::PredicatePtr& predicate,
                     TQStoreError* error);

  // Begins this context's transaction now, holding the writer until save() or rollback(), so that
  // the reads that follow see the committed rows and no other write can come between them and
  // this context's writes: the one hold that does not yield to other writes, which wait for it
  // (StoreBusy after the writer timeout), so the host asks for it only to save or roll back at
  // once. True when the transaction is open; false with `error` filled (NoStore, StoreWasReset,
  // StoreBusy, Superseded).
  bool beginWriting(TQStoreError* error);

  // Writes pending changes and commits the transaction. True when everything reached the file
  // (or there was nothing to write).
  bool save(TQStoreError* error);
  // Drops pending changes and rolls the transaction back.
  void rollback();
  // True when there are unwritten changes or an uncommitted transaction.
  bool hasChanges() const;
  // The number of rows that have a live object in this context: objects leave as soon as nothing
  // holds them.
  size_t registeredObjectCount() const;
  // The number of objects this context has made for stored rows so far: what its fetches have
  // cost in objects.
  uint64_t madeObjectCount() const;

 private:
  friend class TQManagedObject;
  template <class Entity>
  friend class TQManagedObjectEntity;
  friend class TQETag;

  TQManagedObjectContext(ConcurrencyType type, std::shared_ptr<TQStoreConnections> store,
                         uint64_t epoch, std::shared_ptr<TQManagedObjectContext> parent);

  // Called by an object that has changed, without its lock held.
  void objectDidChange(const std::shared_ptr<TQManagedObject>& object);
  // The objects a find-or-create finds: as executeFetchRequest answers them, but without taking
  // the writer. Unwritten objects of this context stand for their rows as they would once
  // written (matched in memory); the other rows are read as committed.
  std::vector<std::shared_ptr<TQManagedObject>> fetchForFindOrCreate(const TQFetchRequest& request,
                                                                     TQStoreError* error);
  // insertObject for find-or-create: at its save, an ETag whose eTagID names a stored row
  // updates that row instead of adding one.
  void insertObjectForFindOrCreate(const std::shared_ptr<TQManagedObject>& object);
  // False, with `error` filled (NoStore, StoreWasReset), when this context may read nothing.
  bool mayRead(TQStoreError* error) const;
  // Rolls the open transaction back for a logout (dropping its writes) or for another write
  // (keeping them to write again); called on the thread that wants the writer. A yield answers
  // false, doing nothing, while a call of this context runs.
  bool giveWay(TQStoreConnections::GiveWay reason);
  // Gives the writer back, keeping what the transaction wrote as the replay log.
  void yieldLocked();
  // Writes the replay log again in a new transaction, before anything reads or writes; false,
  // with `error` filled, when it could not (StoreBusy keeps the log for the next try; a logout
  // since drops it and answers Superseded).
  bool replayLocked(TQStoreError* error);
  // True while this context has uncommitted writes in the store, open or yielded: its reads must
  // go through the writer.
  bool writesInStore() const {
    return holdsWriter_.load(std::memory_order_acquire) || yielded_.load(std::memory_order_acquire);
  }
  // True, with `error` filled (Superseded) once, when a logout rolled the transaction back.
  bool reportSupersededLocked(TQStoreError* error);
  // The row's values as this context sees them; nullopt when the row is missing.
  std::optional<std::vector<tq::Value>> readRow(std::string_view entity, int64_t rowID);
  // Hands each row among `rowIDs` that exists to `readRow`, as its identifier and the statement
  // standing on it (the attributes from column 1 on), read on the connection readRow would use.
  void readRows(std::string_view entity, std::span<const int64_t> rowIDs,
                const std::function<void(int64_t, const tq::SQLiteStatement&)>& readRow);
  // The row's committed values; nullopt when the row is missing.
  static std::optional<std::vector<tq::Value>> readCommittedRow(TQStoreConnections& store,
                                                                std::string_view entity,
                                                                int64_t rowID);
  // Runs the request's SELECT of `column` and hands each row to `readRow`; false, with `error`
  // filled, when the fetch failed.
  bool selectColumn(const TQFetchRequest& request, std::string_view column,
                    const std::function<void(const tq::SQLiteStatement&)>& readRow,
                    TQStoreError* error);
  // Objects whose rows satisfy `where` (SQL over the entity's columns with its bindings).
  std::vector<std::shared_ptr<TQManagedObject>> fetchWhere(std::string_view entity,
                                                           const std::string& where,
                                                           const std::vector<tq::Value>& bindings,
                                                           const std::string& orderBy,
                                                           TQStoreError* error);

  // Runs `body` on the writer while this context's transaction is open, else on a reader.
  void withReadConnectionLocked(const std::function<void(TQStoreConnections::Connection&)>& body);
  bool flushLocked(TQStoreError* error);
  // One write of the open transaction, as the replay log keeps it: objects written with the
  // relations they gained, or a deletion.
  struct WriteStep {
    std::vector<std::shared_ptr<TQManagedObject>> objects;
    std::vector<
        std::pair<std::shared_ptr<TQManagedObject>, std::vector<std::shared_ptr<TQManagedObject>>>>
        relations;
    std::string deletedEntity;
    tq::PredicatePtr deletion;  // nullptr with an empty entity for a write of objects
  };
  // Writes the objects and then their relations in the open transaction, and logs the step;
  // throws on failure.
  void writeObjectsLocked(const std::vector<std::shared_ptr<TQManagedObject>>& objects);
  // The rows of a step (the objects that have something to write); answers those it wrote.
  std::vector<std::shared_ptr<TQManagedObject>> writeRowsLocked(
      const std::vector<std::shared_ptr<TQManagedObject>>& objects);
  void writeRelationsLocked(const WriteStep& step);
  void deleteLocked(std::string_view entity, const tq::PredicatePtr& predicate,
                    TQStoreError* error);
  bool beginLocked(TQStoreError* error);
  void endTransactionLocked();
  void rollbackLocked();
  std::shared_ptr<TQManagedObject> registeredObject(std::string_view entity, int64_t rowID);
  std::shared_ptr<TQManagedObject> registerObject(std::string_view entity, int64_t rowID,
                                                  const std::vector<tq::Value>& values,
                                                  uint64_t observedCommit);
  // The same, with `setValues` giving the row's values to the object (its lock held) wherever
  // the other takes `values`, and a new object made in `blocks` when given.
  std::shared_ptr<TQManagedObject> registerObject(
      std::string_view entity, int64_t rowID, uint64_t observedCommit,
      const std::function<void(TQManagedObject&)>& setValues, TQObjectBlocks* blocks = nullptr);
  void forgetRegisteredState();

  const ConcurrencyType type_;
  const std::shared_ptr<TQStoreConnections> store_;
  const uint64_t epoch_;
  const std::shared_ptr<TQManagedObjectContext> parent_;

  // One operation at a time; held while waiting for the writer.
  mutable std::mutex operationMutex_;
  std::unique_ptr<TQWriteTransaction> transaction_;
  std::atomic<bool> holdsWriter_{false};
  // A logout rolled the transaction back; the next write or save says so.
  bool superseded_ = false;
  // Objects inserted by the open transaction: a rollback gives their row numbers back.
  std::vector<std::weak_ptr<TQManagedObject>> insertedInTransaction_;
  // What the transaction wrote since the last save, in order; held until save() or rollback(),
  // so a yield can write it again.
  std::vector<WriteStep> written_;
  // The transaction yielded the writer; written_ waits to be written again.
  std::atomic<bool> yielded_{false};
  // beginWriting() asked for the writer until save() or rollback(): the transaction never yields.
  bool pinned_ = false;

  // Objects to write, in the order they changed.
  mutable std::mutex pendingMutex_;
  std::vector<std::shared_ptr<TQManagedObject>> pending_;

  // The live object of each row, so one row has one object per context.
  const std::shared_ptr<TQObjectRegistry> registry_;
};
