#include "QuenlarCloudAPI/Model/CoreData/TQObjectRegistry.h"

#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"

std::shared_ptr<TQManagedObject> TQObjectRegistry::liveLocked(TQManagedObject* raw) {
  // An object whose last reference is gone still sits here until its destructor reaches the
  // registry's mutex, which it cannot pass while we hold it: its reference count is readable,
  // and lock() refuses to bring it back.
  return raw->weak_from_this().lock();
}

std::shared_ptr<TQManagedObject> TQObjectRegistry::object(std::string_view entity, int64_t rowID) {
  std::lock_guard lock(mutex_);
  const auto rows = entities_.find(entity);
  if (rows == entities_.end()) {
    return nullptr;
  }
  const auto found = rows->second.find(rowID);
  return found == rows->second.end() ? nullptr : liveLocked(found->second);
}

std::shared_ptr<TQManagedObject> TQObjectRegistry::findOrAdd(
    std::string_view entity, int64_t rowID,
    const std::function<std::shared_ptr<TQManagedObject>()>& make,
    const std::function<void(TQManagedObject& object, bool found)>& use) {
  // Declared before the lock: should `use` throw, a reference that turned out to be the last is
  // dropped after the mutex is released.
  std::shared_ptr<TQManagedObject> object;
  std::lock_guard lock(mutex_);
  if (const auto rows = entities_.find(entity); rows != entities_.end()) {
    if (const auto found = rows->second.find(rowID); found != rows->second.end()) {
      object = liveLocked(found->second);
    }
  }
  if (object) {
    std::lock_guard objectLock(object->mutex_);
    use(*object, true);
    return object;
  }
  object = make();
  if (object) {
    made_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard objectLock(object->mutex_);
    use(*object, false);
    addLocked(*object, rowID);
  }
  return object;
}

void TQObjectRegistry::add(const std::shared_ptr<TQManagedObject>& object, int64_t rowID) {
  std::shared_ptr<TQObjectRegistry> previous;
  {
    std::lock_guard objectLock(object->mutex_);
    previous = object->registry_;
  }
  if (previous && previous.get() != this) {
    std::lock_guard lock(previous->mutex_);
    std::lock_guard objectLock(object->mutex_);
    previous->removeLocked(*object);
  }
  std::lock_guard lock(mutex_);
  std::lock_guard objectLock(object->mutex_);
  if (object->registry_.get() == this) {
    removeLocked(*object);
  }
  addLocked(*object, rowID);
}

void TQObjectRegistry::retainIf(const std::function<bool(TQManagedObject& object)>& visit) {
  std::vector<std::shared_ptr<TQManagedObject>> visited;
  std::lock_guard lock(mutex_);
  for (auto& [entity, rows] : entities_) {
    for (auto it = rows.begin(); it != rows.end();) {
      auto live = liveLocked(it->second);
      if (!live) {
        ++it;  // its destructor is waiting to remove it
        continue;
      }
      visited.push_back(live);
      std::lock_guard objectLock(live->mutex_);
      if (visit(*live)) {
        ++it;
      } else {
        live->registry_.reset();  // the caller's own reference keeps the registry alive
        it = rows.erase(it);
      }
    }
  }
  // `visited` is declared before `lock`, so it goes (maybe with the last reference to some of
  // these objects, whose destructors take the mutex) after the mutex is released.
}

size_t TQObjectRegistry::size() {
  std::lock_guard lock(mutex_);
  size_t total = 0;
  for (const auto& [entity, rows] : entities_) {
    total += rows.size();
  }
  return total;
}

void TQObjectRegistry::addLocked(TQManagedObject& object, int64_t rowID) {
  const std::string_view entity = object.entity();
  auto rows = entities_.find(entity);
  if (rows == entities_.end()) {
    rows = entities_.emplace(entity, Rows{}).first;
  }
  // An object displaced from the row (an insertion that took a stored row's identifier) keeps its
  // registration fields; its destructor finds another object there and leaves the entry alone.
  rows->second[rowID] = &object;
  object.registry_ = shared_from_this();
  object.registeredEntity_ = entity;
  object.registeredRow_ = rowID;
}

void TQObjectRegistry::removeLocked(TQManagedObject& object) {
  const auto rows = entities_.find(object.registeredEntity_);
  if (rows == entities_.end()) {
    return;
  }
  if (const auto found = rows->second.find(object.registeredRow_);
      found != rows->second.end() && found->second == &object) {
    rows->second.erase(found);
  }
}

void TQObjectRegistry::objectDestroyed(TQManagedObject& object) {
  std::lock_guard lock(mutex_);
  removeLocked(object);
}
