// TQManagedObject: one object of a stored entity, living in a context (TQManagedObjectContext),
// and the class operations that every entity shares (TQManagedObjectEntity below).
//
// An object caches its row's values. Changes made through its setters stay in the object until
// its context writes them (at the context's next fetch, deletion or save). An object without
// unsaved changes re-reads its row after another transaction has committed, so it answers the
// stored values; once its row is gone (deleted by a full sync or logout) it keeps answering the
// values it last read. Getters and setters are safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectContext.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQObjectRegistry;
class TQStoreConnections;
namespace tq {
class SQLiteStatement;
}

class TQManagedObject : public std::enable_shared_from_this<TQManagedObject> {
 public:
  // Leaves its context's registry, so the memory of a row nobody holds goes at once.
  virtual ~TQManagedObject();
  TQManagedObject(const TQManagedObject&) = delete;
  TQManagedObject& operator=(const TQManagedObject&) = delete;

  // The entity this object belongs to: "TQDBResource" or "TQETag".
  virtual std::string_view entity() const = 0;

  // A temporary identifier (row 0) until the object's context has written it.
  TQManagedObjectID objectID() const;
  // The context the object was inserted into or fetched by; nullptr once that context is gone.
  std::shared_ptr<TQManagedObjectContext> managedObjectContext() const;
  // True while the object has changes its context has not written yet.
  bool hasChanges() const;
  // True once the object found its row deleted; it then answers the values it last read.
  bool isDeletedFromStore() const;

 protected:
  TQManagedObject() = default;

  // The attribute values in the registry's order of the entity, and setting them from a row read
  // in that order. Called with mutex_ held.
  virtual std::vector<tq::Value> rowValuesLocked() const = 0;
  virtual void setRowValuesLocked(const std::vector<tq::Value>& values) = 0;
  // The same from the current row of `statement`, whose columns from `first` on are the
  // attributes in registry order. Called with mutex_ held.
  virtual void readRowLocked(const tq::SQLiteStatement& statement, int first);
  // Objects to relate to this one through its to-many relationship, handed over once; called
  // with mutex_ held.
  virtual std::vector<std::shared_ptr<TQManagedObject>> takeRelatedObjectsLocked() { return {}; }

  // Subclasses call this, without mutex_ held, before reading their cached values: it re-reads
  // the row when another transaction has committed since the last read.
  void refreshIfStale() const;
  // Subclasses call this, without mutex_ held, after changing a value.
  void didChange();

  mutable std::mutex mutex_;

 private:
  friend class TQManagedObjectContext;
  friend class TQObjectRegistry;

  // Everything below is guarded by mutex_.
  std::weak_ptr<TQManagedObjectContext> context_;
  std::shared_ptr<TQStoreConnections> store_;
  int64_t rowID_ = 0;
  bool inserted_ = false;        // inserted into a context, not written yet
  bool changed_ = false;         // changed since written or read
  bool pending_ = false;         // on its context's list of objects to write
  bool findsRowOnSave_ = false;  // made by find-or-create: may stand for a row stored since
  mutable bool deletedFromStore_ = false;
  mutable uint64_t valuesCommit_ = 0;  // the store's commit count when the values were read
  // Where the object is registered (TQObjectRegistry), if anywhere; changed with the registry's
  // mutex held too.
  std::shared_ptr<TQObjectRegistry> registry_;
  std::string_view registeredEntity_;
  int64_t registeredRow_ = 0;
};

// The class operations of an entity; the receiving class is the entity. Entity derives from
// TQManagedObjectEntity<Entity> and names itself with `static constexpr std::string_view
// kEntityName`.
template <class Entity>
class TQManagedObjectEntity : public TQManagedObject {
 public:
  // The entity's name, which is its class's name.
  static std::string entityName() { return std::string(Entity::kEntityName); }

  std::string_view entity() const override { return Entity::kEntityName; }

  // A new object with every attribute nil, inserted into the context (written at its next fetch,
  // deletion or save). With a nullptr context the object belongs to none.
  static std::shared_ptr<Entity> insertNewObjectIntoContext(
      const std::shared_ptr<TQManagedObjectContext>& context) {
    auto object = std::make_shared<Entity>();
    if (context) {
      context->insertObject(object);
    }
    return object;
  }

  // Every object that matches the predicate (nullptr matches all), in the order they were
  // stored. When none matches and createIfNotFound is set: one new inserted object (the predicate
  // is not applied to it). Otherwise an empty list, which stands for nil. A failed fetch fills
  // `error` (when given) and counts as no match.
  //
  // With createIfNotFound the look-up takes no writer: the context's own unwritten objects count
  // as the rows they will be, and the new object finds its row when saved (a resource by its uri,
  // an ETag by its eTagID), so two contexts that both create for one uri or eTagID store one row.
  static std::vector<std::shared_ptr<Entity>> findResource(
      const tq::PredicatePtr& predicate, bool createIfNotFound,
      const std::shared_ptr<TQManagedObjectContext>& context, TQStoreError* error) {
    std::vector<std::shared_ptr<Entity>> found;
    if (context) {
      TQFetchRequest request{
          .entityName = entityName(), .predicate = predicate, .sortDescriptors = {}};
      const auto objects = createIfNotFound ? context->fetchForFindOrCreate(request, error)
                                            : context->executeFetchRequest(request, error);
      for (const auto& object : objects) {
        if (auto typed = std::dynamic_pointer_cast<Entity>(object)) {
          found.push_back(std::move(typed));
        }
      }
    }
    if (found.empty() && createIfNotFound) {
      auto object = std::make_shared<Entity>();
      if (context) {
        context->insertObjectForFindOrCreate(object);
      }
      found.push_back(std::move(object));
    }
    return found;
  }

  // Deletes every row of the entity that the predicate matches (nullptr: every row) in the
  // context; the file keeps them until the context saves. False with `error` filled on failure.
  static bool deleteResource(const tq::PredicatePtr& predicate,
                             const std::shared_ptr<TQManagedObjectContext>& context,
                             TQStoreError* error) {
    if (!context) {
      if (error != nullptr) {
        *error = {TQStoreErrorCode::NoStore, "No context."};
      }
      return false;
    }
    return context->deleteObjects(Entity::kEntityName, predicate, error);
  }
};
