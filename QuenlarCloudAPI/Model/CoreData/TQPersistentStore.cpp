#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

// How long a retiring store waits for the readers still lent out, which are busy with one read
// each; its files are only removed once every connection to them has closed, since SQLite deletes
// a log by its name when the last connection closes, which would then be the new store's.
constexpr std::chrono::seconds kReaderReturnWait{5};

std::shared_ptr<TQStoreConnections> openStore(uint64_t firstEpoch = 1) {
  const auto path = TQPersistentStore::storeURL();
  std::string reason;
  auto connections = TQStoreConnections::open(path, reason, firstEpoch);
  if (!connections) {
    // Said on the system log, never on the host's loggers; the file is left for the user.
    tq::systemLog("[ERROR] error: " + reason);
    tq::systemLog("[INFO] rm \"" + path.string() + "\"");
  }
  return connections;
}

}  // namespace

std::shared_ptr<TQPersistentStore> TQPersistentStore::sharedPersistentStore() {
  static const std::shared_ptr<TQPersistentStore> instance(new TQPersistentStore(openStore()));
  return instance;
}

TQPersistentStore::TQPersistentStore(std::shared_ptr<TQStoreConnections> connections) {
  adopt(std::move(connections));
}

std::shared_ptr<TQStoreConnections> TQPersistentStore::connections() const {
  std::lock_guard lock(mutex_);
  return connections_;
}

void TQPersistentStore::adopt(std::shared_ptr<TQStoreConnections> connections) {
  if (connections) {
    connections->setWriterTimeout(
        std::chrono::milliseconds(writeTimeoutMs_.load(std::memory_order_relaxed)));
  }
  const uint64_t epoch = connections ? connections->epoch() : 0;
  auto context = TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::MainQueue,
                                              connections, epoch, nullptr);
  std::lock_guard lock(mutex_);
  connections_ = std::move(connections);
  // The main-queue context serves the host across logins; it belongs to the current epoch.
  mainContext_ = std::move(context);
}

std::shared_ptr<TQManagedObjectContext> TQPersistentStore::mainQueueManagedObjectContext() const {
  std::lock_guard lock(mutex_);
  return mainContext_;
}

void TQPersistentStore::setMainQueueManagedObjectContext(
    std::shared_ptr<TQManagedObjectContext> context) {
  std::lock_guard lock(mutex_);
  mainContext_ = std::move(context);
}

std::shared_ptr<TQManagedObjectContext> TQPersistentStore::backgroundManagedObjectContext() const {
  return backgroundManagedObjectContext(currentEpoch());
}

std::shared_ptr<TQManagedObjectContext> TQPersistentStore::backgroundManagedObjectContext(
    uint64_t epoch) const {
  return TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::PrivateQueue,
                                      connections(), epoch, mainQueueManagedObjectContext());
}

uint64_t TQPersistentStore::currentEpoch() const {
  const auto store = connections();
  return store ? store->epoch() : 0;
}

bool TQPersistentStore::performWrite(uint64_t epoch, const TQWriteTransaction::Body& body,
                                     TQStoreError* error) {
  return TQWriteTransaction::perform(connections(), epoch, body, error);
}

namespace {

// One queued write at its turn. The writer is first waited for only as long as the write's time
// left, then given back at once for `write` to take in its own transaction.
bool runQueuedWrite(const std::shared_ptr<TQStoreConnections>& connections, uint64_t epoch,
                    std::chrono::steady_clock::time_point deadline,
                    const TQPersistentStore::QueuedWrite& write, TQStoreError* error) {
  // A write of a past epoch fails at once inside performWrite, without waiting for anything.
  if (connections && epoch == connections->epoch()) {
    const auto left = std::max(
        std::chrono::milliseconds(0),
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
    if (!connections->acquireWriter(left)) {
      TQEntitySQL::logProblem("The store stayed busy with another write; this write was not made.");
      TQEntitySQL::setError(error, TQStoreErrorCode::StoreBusy,
                            "Another write held the store too long.");
      return false;
    }
  }
  try {
    return write(error);
  } catch (...) {
    TQWriteTransaction::describeCurrentException(error, "Writing to the store");
    return false;
  }
}

}  // namespace

void TQPersistentStore::performWriteAsync(uint64_t epoch, QueuedWrite write,
                                          QueuedWriteCompletion completion) {
  std::call_once(writerQueueStarted_,
                 [this] { writerQueue_ = tq::SerialQueue::create("tq.store.writer"); });
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(writeTimeoutMs_.load(std::memory_order_relaxed));
  // Each block holds the queue and the store: should the process exit with writes still queued,
  // the queue's thread finishes them on its own instead of the exit waiting for them. The store's
  // connections are read at the write's turn, since a logout may have replaced them meanwhile.
  writerQueue_->async([queue = writerQueue_, store = sharedPersistentStore(), epoch, deadline,
                       write = std::move(write), completion = std::move(completion)] {
    TQStoreError error;
    const bool committed =
        write && runQueuedWrite(store->connections(), epoch, deadline, write, &error);
    if (completion) {
      completion(committed, error);
    }
  });
}

void TQPersistentStore::setWriteTimeout(std::chrono::milliseconds timeout) {
  writeTimeoutMs_.store(timeout.count(), std::memory_order_relaxed);
  if (const auto store = connections()) {
    store->setWriterTimeout(timeout);
  }
}

bool TQPersistentStore::deleteAllObjects(TQStoreError* error) {
  const auto store = connections();
  if (!store) {
    return true;
  }
  // Announced before waiting: writes queued behind it wait, and the write in progress gives way.
  const TQStoreConnections::ResetRequest request(*store);
  auto lease =
      store->acquireWriter(store->writerTimeout(), TQStoreConnections::WriterPriority::Reset);
  if (!lease && store->isRetired()) {
    return true;  // a logout beside this one replaced the store with an empty one
  }
  if (!lease) {
    TQEntitySQL::logProblem("The store stayed busy with another write; it was not emptied.");
    TQEntitySQL::setError(error, TQStoreErrorCode::StoreBusy,
                          "Another write held the store too long.");
    return false;
  }
  TQStoreError failure;
  if (emptyInPlace(store, std::move(*lease), &failure)) {
    adopt(store);
    return true;
  }
  // The failed transaction gave the writer back; the pending reset keeps every other write out.
  auto again =
      store->acquireWriter(store->writerTimeout(), TQStoreConnections::WriterPriority::Reset);
  if (!again) {
    TQEntitySQL::setError(error, failure.code, failure.localizedDescription);
    return false;
  }
  tq::systemLog("[INFO] The store could not be emptied in place; it starts afresh.");
  auto fresh = replaceStoreFiles(store, std::move(*again));
  const bool replaced = fresh != nullptr;
  adopt(std::move(fresh));
  if (!replaced) {
    TQEntitySQL::setError(error, TQStoreErrorCode::NoStore,
                          "The store could not be emptied or made afresh; it is closed.");
  }
  return replaced;
}

bool TQPersistentStore::emptyInPlace(const std::shared_ptr<TQStoreConnections>& store,
                                     TQStoreConnections::WriterLease lease, TQStoreError* error) {
  return TQWriteTransaction::performReset(
      store, std::move(lease),
      [](TQWriteTransaction& write) {
        // The relation table first: its rows would otherwise each be deleted by a cascade.
        for (const std::string_view table :
             {TQDataModel::kETagResourcesTable, kTQDBResourceEntityName, kTQETagEntityName}) {
          write.connection().database().exec("DELETE FROM " + TQDataModel::quotedIdentifier(table) +
                                             ";");
        }
      },
      error);
}

std::shared_ptr<TQStoreConnections> TQPersistentStore::replaceStoreFiles(
    const std::shared_ptr<TQStoreConnections>& store, TQStoreConnections::WriterLease lease) {
  const uint64_t nextEpoch = store->epoch() + 1;
  if (!store->retire(std::move(lease), kReaderReturnWait)) {
    tq::systemLog("[ERROR] A read of the store did not end; its files were left in place.");
    return nullptr;
  }
  for (const auto& file : TQLibraryFiles::storeFiles(tq::Environment::documentsDirectory())) {
    std::error_code failed;
    std::filesystem::remove(file, failed);
    if (failed) {
      tq::systemLog("[ERROR] A file of the store could not be removed: " + failed.message());
      return nullptr;
    }
  }
  return openStore(nextEpoch);
}

std::filesystem::path TQPersistentStore::storeURL() {
  return TQLibraryFiles::storePath(tq::Environment::documentsDirectory());
}

std::string TQPersistentStore::modelURL() { return std::string(TQDataModel::kModelName) + ".momd"; }
