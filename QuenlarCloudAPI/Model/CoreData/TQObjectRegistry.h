// TQObjectRegistry: the live object of each stored row in one context, so that a row has one
// object per context while anything holds it.
//
// The registry holds no reference of any kind to its objects: an object leaves it from its own
// destructor, so the memory of a row nobody holds goes back to the heap at once (together with its
// TQObjectBlocks block, once the block's other objects are gone) rather than at a later sweep.
// Each registered object keeps the registry alive in turn, so the registry may outlive its
// context. Safe from any thread.
//
// Lock order: the registry's mutex before an object's own; an object's destructor takes the
// registry's mutex, so no reference to an object may be dropped while the mutex is held.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

class TQManagedObject;

class TQObjectRegistry : public std::enable_shared_from_this<TQObjectRegistry> {
 public:
  TQObjectRegistry() = default;
  TQObjectRegistry(const TQObjectRegistry&) = delete;
  TQObjectRegistry& operator=(const TQObjectRegistry&) = delete;

  // The object of the row while something holds it, else nullptr.
  std::shared_ptr<TQManagedObject> object(std::string_view entity, int64_t rowID);

  // The object of the row as find() answers it, else the one `make` answers (nullptr: none),
  // registered for the row. Both answers are handed to `use` under the registry's lock, with
  // `found` telling which it is; `use` must not call into the registry.
  std::shared_ptr<TQManagedObject> findOrAdd(
      std::string_view entity, int64_t rowID,
      const std::function<std::shared_ptr<TQManagedObject>()>& make,
      const std::function<void(TQManagedObject& object, bool found)>& use);

  // Registers `object` as the row's object in place of any other; an object registered for
  // another row, here or in another registry, leaves that one first.
  void add(const std::shared_ptr<TQManagedObject>& object, int64_t rowID);

  // Hands every live object to `visit` (the registry's lock held, so `visit` must not call into
  // the registry); those for which it answers false leave the registry. The references taken to
  // visit them are dropped after the lock is released.
  void retainIf(const std::function<bool(TQManagedObject& object)>& visit);

  // The number of rows with a live object.
  size_t size();
  // The number of objects findOrAdd() has made since the registry was made.
  uint64_t made() const { return made_.load(std::memory_order_relaxed); }

 private:
  friend class TQManagedObject;

  using Rows = std::unordered_map<int64_t, TQManagedObject*>;

  // A live object for `raw`, or nullptr when its last reference is gone and it is on its way out.
  static std::shared_ptr<TQManagedObject> liveLocked(TQManagedObject* raw);
  void addLocked(TQManagedObject& object, int64_t rowID);
  void removeLocked(TQManagedObject& object);
  // Called by an object's destructor.
  void objectDestroyed(TQManagedObject& object);

  std::atomic<uint64_t> made_{0};
  std::mutex mutex_;
  // By entity name (the entity's own static name); at most one entry per object.
  std::map<std::string_view, Rows, std::less<>> entities_;
};
