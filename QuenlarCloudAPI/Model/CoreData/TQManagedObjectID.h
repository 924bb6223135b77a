// TQManagedObjectID: the identifier of one stored row: its entity and its row number.
//
// Row numbers are never reused, not even after every row was deleted (logout), so an identifier
// the host kept can only ever name the row it was made for, or nothing. An object inserted into a
// context has a temporary identifier (row 0) until its context writes it. A plain value; safe to
// copy and compare between threads.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

class TQManagedObjectID {
 public:
  TQManagedObjectID() = default;
  TQManagedObjectID(std::string_view entityName, int64_t rowID)
      : entityName_(entityName), rowID_(rowID) {}

  const std::string& entityName() const { return entityName_; }
  int64_t rowID() const { return rowID_; }
  bool isTemporaryID() const { return rowID_ <= 0; }

  friend bool operator==(const TQManagedObjectID&, const TQManagedObjectID&) = default;
  friend auto operator<=>(const TQManagedObjectID&, const TQManagedObjectID&) = default;

 private:
  std::string entityName_;
  int64_t rowID_ = 0;
};
