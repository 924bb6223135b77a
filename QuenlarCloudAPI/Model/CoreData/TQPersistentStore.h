// TQPersistentStore: the owner of the local store, "TQCloudDB.sqlite" in the Documents directory,
// which mirrors the account's resources (TQDBResource) and the virtual folders' ETags (TQETag).
//
// - Opened once, on the first sharedPersistentStore() call, never before (making the facade does
//   not open it), and kept for the life of the process.
// - A file that cannot be opened (unreadable, not a database, another data model version) is
//   left exactly as it is: two lines go to the system log and the library runs without a store,
//   whose fetches answer nothing and whose saves do nothing. A store of the previous model
//   version is migrated (see TQDataModel).
// - Every write is one TQWriteTransaction: merges call performWrite(); the main-queue context
//   serves bound records and logout, and each background context serves one operation (a
//   search, or a merge written object by object). Contexts are safe from any thread; a
//   background context's save reaches the file in the same transaction as its rows.
// - deleteAllObjects() (logout) empties both entities and starts a new epoch: a write made for the
//   earlier epoch (a merge whose full sync began before logout) commits nothing, one running when
//   logout begins gives way within a few hundred rows, and a context's open transaction is
//   rolled back at once. Contexts of an earlier epoch read nothing afterwards.
// Every member is safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectContext.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"

namespace tq {
class SerialQueue;
}

class TQPersistentStore {
 public:
  static std::shared_ptr<TQPersistentStore> sharedPersistentStore();

  TQPersistentStore(const TQPersistentStore&) = delete;
  TQPersistentStore& operator=(const TQPersistentStore&) = delete;

  std::shared_ptr<TQManagedObjectContext> mainQueueManagedObjectContext() const;
  void setMainQueueManagedObjectContext(std::shared_ptr<TQManagedObjectContext> context);

  // A new context for one operation, whose parent is the main-queue context; the caller owns
  // it. Made for the current epoch, or for `epoch` as read by currentEpoch() when the operation
  // began (so a full sync that started before a logout cannot write after it).
  std::shared_ptr<TQManagedObjectContext> backgroundManagedObjectContext() const;
  std::shared_ptr<TQManagedObjectContext> backgroundManagedObjectContext(uint64_t epoch) const;
  uint64_t currentEpoch() const;

  // Runs `body` in one write transaction for `epoch` (currentEpoch() as read when the work
  // began) and commits when it returns; see TQWriteTransaction::perform. For example:
  //   store->performWrite(epoch, [&](TQWriteTransaction& write) {
  //     const int64_t folder = write.writeETag(folderKey, eTag);
  //     write.relateResources(folder, write.upsertResources(parsed));
  //     write.deleteObjectsWhereIn("TQDBResource", "uri", goneURIs);
  //   }, &error);
  // False with `error` filled when nothing was committed: NoStore, StoreWasReset (a logout came
  // after the work began), StoreBusy, Superseded (a logout began while it ran), SQLiteFailure,
  // UnknownKey, or WriteFailed (`body` threw).
  bool performWrite(uint64_t epoch, const TQWriteTransaction::Body& body, TQStoreError* error);

  // Queued writes, for work that would otherwise block a worker of the shared operation pool
  // while another write holds the store. Returns at once; `write` runs later on the store's writer
  // queue, one thread of the store's own that runs queued writes one at a time, in the order they
  // were queued. `write` writes through performWrite() for `epoch` (TQFullViewMerge::merge does)
  // and answers as it does; `completion` then receives that answer on the same thread. `write`
  // does not run, and `completion` receives false, when the writer stays held until one write
  // timeout has passed since the write was queued (StoreBusy), so a long queue behind a held
  // writer fails within about one timeout rather than one timeout per write. Neither may wait for
  // another queued write; what `write` throws counts as WriteFailed.
  using QueuedWrite = std::function<bool(TQStoreError* error)>;
  using QueuedWriteCompletion = std::function<void(bool committed, const TQStoreError& error)>;
  void performWriteAsync(uint64_t epoch, QueuedWrite write, QueuedWriteCompletion completion);

  // How long a write (performWrite, a context's, logout's) waits for another to finish before it
  // fails with StoreBusy; 30 seconds unless set.
  void setWriteTimeout(std::chrono::milliseconds timeout);

  // Logout's part: deletes every TQDBResource and TQETag row in one transaction and starts a new
  // epoch. It goes ahead of the writes waiting for the store, a merge in progress gives way
  // (rolls back) within a few hundred rows, and a context holding the store between calls has its
  // transaction rolled back at once (its next save fails with Superseded). Where SQLite refuses
  // to empty the file (disk full, I/O error, another process holding it), the store's files are
  // removed and a fresh store opens in their place; contexts and objects of the old file read
  // nothing from it again.
  // True once the store is empty (or there is no store). False with `error` filled when a write
  // of the host's own held the store past the write timeout (StoreBusy; nothing was deleted), or
  // when no fresh store could be made (NoStore): the library then runs without a store, as when
  // the file cannot be opened, so no row of the old file is read.
  bool deleteAllObjects(TQStoreError* error);

  // True when the store file is open.
  bool hasStore() const { return connections() != nullptr; }

  // The store file: "TQCloudDB.sqlite" in the Documents directory.
  static std::filesystem::path storeURL();
  // The data model is compiled into the library; this names it ("TQCloud.momd").
  static std::string modelURL();

 private:
  explicit TQPersistentStore(std::shared_ptr<TQStoreConnections> connections);

  std::shared_ptr<TQStoreConnections> connections() const;
  bool emptyInPlace(const std::shared_ptr<TQStoreConnections>& store,
                    TQStoreConnections::WriterLease lease, TQStoreError* error);
  // Retires `store`, removes its files and opens a fresh store in their place; nullptr when none
  // could be made.
  std::shared_ptr<TQStoreConnections> replaceStoreFiles(
      const std::shared_ptr<TQStoreConnections>& store, TQStoreConnections::WriterLease lease);
  // Makes `connections` the store, with a new main-queue context of its epoch.
  void adopt(std::shared_ptr<TQStoreConnections> connections);

  // Both guarded by mutex_: a logout that cannot empty the file replaces the store, while
  // contexts and objects of the old one keep it until they go.
  mutable std::mutex mutex_;
  std::shared_ptr<TQStoreConnections> connections_;
  std::shared_ptr<TQManagedObjectContext> mainContext_;
  std::atomic<int64_t> writeTimeoutMs_{30000};

  // The queue of performWriteAsync(), started by its first use.
  std::once_flag writerQueueStarted_;
  std::shared_ptr<tq::SerialQueue> writerQueue_;
};
