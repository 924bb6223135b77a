#include "QuenlarCloudAPI/Model/TQResourceBinding.h"

#include "QuenlarCloudAPI/Model/CoreData/TQPersistentStore.h"

const TQResourceValues TQResourceBinding::kNoValues{};

void TQResourceBinding::assign(TQResourceValues values) {
  std::lock_guard lock(mutex_);
  heldValuesLocked() = std::move(values);
}

void TQResourceBinding::bindToRow(const TQManagedObjectID& rowID) {
  setDbResourceID(rowID);
  if (const auto row = boundRow()) {
    auto values = row->values();
    std::lock_guard lock(mutex_);
    auto& held = heldValuesLocked();
    values.immutable = held.immutable;
    held = std::move(values);
  }
}

TQResourceValues& TQResourceBinding::heldValuesLocked() {
  if (!values_) {
    values_ = std::make_unique<TQResourceValues>();
  }
  return *values_;
}

std::shared_ptr<TQDBResource> TQResourceBinding::dbResource() const {
  std::lock_guard lock(mutex_);
  return row_;
}

void TQResourceBinding::setDbResource(std::shared_ptr<TQDBResource> row) {
  std::lock_guard lock(mutex_);
  row_ = std::move(row);
}

std::optional<TQManagedObjectID> TQResourceBinding::dbResourceID() const {
  std::lock_guard lock(mutex_);
  return rowID_;
}

void TQResourceBinding::setDbResourceID(std::optional<TQManagedObjectID> rowID) {
  std::lock_guard lock(mutex_);
  if (rowID_ == rowID) {
    return;
  }
  rowID_ = std::move(rowID);
  lookedUp_ = false;
  if (row_ && (!rowID_ || row_->objectID() != *rowID_)) {
    row_.reset();
  }
}

std::shared_ptr<TQDBResource> TQResourceBinding::boundRow() const {
  TQManagedObjectID rowID;
  {
    std::lock_guard lock(mutex_);
    if (row_ || !rowID_ || lookedUp_) {
      return row_;
    }
    rowID = *rowID_;
  }
  const auto context = TQPersistentStore::sharedPersistentStore()->mainQueueManagedObjectContext();
  auto row = std::dynamic_pointer_cast<TQDBResource>(context->existingObjectWithID(rowID, nullptr));
  std::lock_guard lock(mutex_);
  if (rowID_ != rowID) {
    return row_;  // rebound meanwhile
  }
  lookedUp_ = true;
  if (!row_) {
    row_ = std::move(row);
  }
  return row_;
}
