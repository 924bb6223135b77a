#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"

#include <algorithm>
#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

constexpr const char* kStoreFileName = "TQCloudDB.sqlite";

std::shared_ptr<TQStoreConnections> openStore() {
  const auto path = TQPersistentStore::storeURL();
  std::string reason;
  auto connections = TQStoreConnections::open(path, reason);
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

TQPersistentStore::TQPersistentStore(std::shared_ptr<TQStoreConnections> connections)
    : connections_(std::move(connections)),
      mainContext_(TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::MainQueue,
                                                connections_, currentEpoch(), nullptr)) {}

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
                                      connections_, epoch, mainQueueManagedObjectContext());
}

uint64_t TQPersistentStore::currentEpoch() const {
  return connections_ ? connections_->epoch() : 0;
}

bool TQPersistentStore::performWrite(uint64_t epoch, const TQWriteTransaction::Body& body,
                                     TQStoreError* error) {
  return TQWriteTransaction::perform(connections_, epoch, body, error);
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
  const auto deadline =
      std::chrono::steady_clock::now() +
      (connections_ ? connections_->writerTimeout() : std::chrono::milliseconds(0));
  // Each block holds the queue: should the store go at exit with writes still queued, the queue's
  // thread finishes them on its own instead of the exit waiting for them.
  writerQueue_->async([queue = writerQueue_, connections = connections_, epoch, deadline,
                       write = std::move(write), completion = std::move(completion)] {
    TQStoreError error;
    const bool committed = write && runQueuedWrite(connections, epoch, deadline, write, &error);
    if (completion) {
      completion(committed, error);
    }
  });
}

void TQPersistentStore::setWriteTimeout(std::chrono::milliseconds timeout) {
  if (connections_) {
    connections_->setWriterTimeout(timeout);
  }
}

bool TQPersistentStore::deleteAllObjects(TQStoreError* error) {
  if (!connections_) {
    return true;
  }
  TQStoreError failure;
  const bool emptied = TQWriteTransaction::performReset(
      connections_,
      [](TQWriteTransaction& write) {
        // The relation table first: its rows would otherwise each be deleted by a cascade.
        for (const std::string_view table :
             {TQDataModel::kETagResourcesTable, kTQDBResourceEntityName, kTQETagEntityName}) {
          write.connection().database().exec("DELETE FROM " + TQDataModel::quotedIdentifier(table) +
                                             ";");
        }
      },
      &failure);
  if (!emptied) {
    if (error != nullptr) {
      *error = failure;
    }
    return false;
  }
  // The main-queue context serves the host across logins; it belongs to the new epoch.
  std::lock_guard lock(mutex_);
  mainContext_ = TQManagedObjectContext::make(TQManagedObjectContext::ConcurrencyType::MainQueue,
                                              connections_, connections_->epoch(), nullptr);
  return true;
}

std::filesystem::path TQPersistentStore::storeURL() {
  return tq::Environment::documentsDirectory() / kStoreFileName;
}

std::string TQPersistentStore::modelURL() { return std::string(TQDataModel::kModelName) + ".momd"; }
