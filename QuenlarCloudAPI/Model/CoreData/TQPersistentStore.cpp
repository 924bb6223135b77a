#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"

#include "QuenlarCloudAPI/Helper_Class/TQLibraryFiles.h"
#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace {

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
  return TQLibraryFiles::storePath(tq::Environment::documentsDirectory());
}

std::string TQPersistentStore::modelURL() { return std::string(TQDataModel::kModelName) + ".momd"; }
