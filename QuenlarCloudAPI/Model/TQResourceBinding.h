// TQResourceBinding: the values behind a resource record (TQResource, or an object of the item
// tree): held in the record, or, once the record is bound to a stored row, read from that row.
//
// Binding rule of every getter: with a row at hand, answer the row's value; else, with a row
// identifier, look the row up once in the main-queue context of the shared store and answer its
// value; else answer the held value. An identifier without a row (never stored, deleted, another
// entity, no store) falls back to the held values, so a stale identifier never fails and never
// binds another row. A row deleted after binding answers the values it last read.
// Every member is safe from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"
#include "QuenlarCloudAPI/Model/TQResourceValues.h"

class TQResourceBinding {
 public:
  TQResourceBinding() = default;
  TQResourceBinding(const TQResourceBinding&) = delete;
  TQResourceBinding& operator=(const TQResourceBinding&) = delete;

  template <class T>
  T get(T TQResourceValues::*field) const {
    if (const auto row = boundRow()) {
      return row->valueOf(field);
    }
    return held(field);
  }

  // The held value, bound or not (for fields the row does not have, such as `immutable`).
  template <class T>
  T held(T TQResourceValues::*field) const {
    std::lock_guard lock(mutex_);
    return values_ ? (*values_).*field : kNoValues.*field;
  }

  // Changes the held value only; a bound row is never changed, and stays what getters answer.
  template <class T>
  void set(T TQResourceValues::*field, T value) {
    std::lock_guard lock(mutex_);
    heldValuesLocked().*field = std::move(value);
  }

  // Replaces every held value.
  void assign(TQResourceValues values);

  // Keeps the identifier, then copies every value the getters answer into the held values.
  void bindToRow(const TQManagedObjectID& rowID);

  // The row the getters read, once they have looked it up (or once set).
  std::shared_ptr<TQDBResource> dbResource() const;
  void setDbResource(std::shared_ptr<TQDBResource> row);
  std::optional<TQManagedObjectID> dbResourceID() const;
  // A different identifier drops the row looked up for the old one.
  void setDbResourceID(std::optional<TQManagedObjectID> rowID);

 private:
  std::shared_ptr<TQDBResource> boundRow() const;
  TQResourceValues& heldValuesLocked();

  // What the held values are until something is set: every value nil.
  static const TQResourceValues kNoValues;

  mutable std::mutex mutex_;
  // Made on the first write: records bound to rows by the ten thousand (the media lists) mostly
  // never hold a value of their own, and a whole set of values per record would double their
  // size.
  std::unique_ptr<TQResourceValues> values_;
  mutable std::shared_ptr<TQDBResource> row_;
  std::optional<TQManagedObjectID> rowID_;
  mutable bool lookedUp_ = false;  // for rowID_
};
