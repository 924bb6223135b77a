#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"

#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Model/CoreData/TQObjectRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

TQManagedObject::~TQManagedObject() {
  // No other thread can reach these fields now: the registry hands out only objects it can still
  // take a reference to.
  if (registry_) {
    registry_->objectDestroyed(*this);
  }
}

TQManagedObjectID TQManagedObject::objectID() const {
  std::lock_guard lock(mutex_);
  return {entity(), rowID_};
}

std::shared_ptr<TQManagedObjectContext> TQManagedObject::managedObjectContext() const {
  std::lock_guard lock(mutex_);
  return context_.lock();
}

bool TQManagedObject::hasChanges() const {
  std::lock_guard lock(mutex_);
  return changed_ || inserted_;
}

bool TQManagedObject::isDeletedFromStore() const {
  refreshIfStale();
  std::lock_guard lock(mutex_);
  return deletedFromStore_;
}

void TQManagedObject::readRowLocked(const tq::SQLiteStatement& statement, int first) {
  setRowValuesLocked(TQEntitySQL::readRowValues(statement, entity(), first));
}

void TQManagedObject::refreshIfStale() const {
  std::shared_ptr<TQStoreConnections> store;
  std::shared_ptr<TQManagedObjectContext> context;
  int64_t rowID = 0;
  uint64_t observed = 0;
  {
    std::lock_guard lock(mutex_);
    // Unsaved changes are what this object answers; a deleted row never comes back, since row
    // numbers are never reused.
    if (!store_ || rowID_ <= 0 || inserted_ || changed_ || deletedFromStore_) {
      return;
    }
    observed = store_->commitCount();
    if (valuesCommit_ == observed) {
      return;
    }
    store = store_;
    context = context_.lock();
    rowID = rowID_;
  }
  std::optional<std::vector<tq::Value>> row;
  try {
    row = context ? context->readRow(entity(), rowID)
                  : TQManagedObjectContext::readCommittedRow(*store, entity(), rowID);
  } catch (const std::exception& exception) {
    tq::systemLog(std::string("[ERROR] Reading a row failed: ") + exception.what());
    return;
  }
  std::lock_guard lock(mutex_);
  // Another thread may have read a newer state meanwhile; an older read must not replace it.
  if (changed_ || inserted_ || rowID_ != rowID || observed < valuesCommit_) {
    return;
  }
  if (row) {
    // Objects are only ever made by make_shared as non-const; the cache is refreshed in place.
    const_cast<TQManagedObject*>(this)->setRowValuesLocked(*row);
  } else {
    deletedFromStore_ = true;
  }
  valuesCommit_ = observed;
}

void TQManagedObject::didChange() {
  std::shared_ptr<TQManagedObjectContext> context;
  {
    std::lock_guard lock(mutex_);
    changed_ = true;
    if (pending_) {
      return;
    }
    context = context_.lock();
    if (!context) {
      return;
    }
    pending_ = true;
  }
  context->objectDidChange(shared_from_this());
}
