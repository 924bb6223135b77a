// TQFolder: a folder: the fields of every item, nothing more. Adds its own fields to those of
// TQResourceItem; see TQResourceItem for how items are built, bound and read.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Model/TQResourceItem.h"

class TQFolder : public TQResourceItem {
 public:
  TQFolder() = default;

  static std::shared_ptr<TQFolder> initWithDict(const tq::JSON& dict) {
    return makeWithDict<TQFolder>(dict);
  }
  static std::shared_ptr<TQFolder> initWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    return makeWithDBResourceID<TQFolder>(dbResourceID);
  }

  // Key-value table: the keys of TQResourceItem and the fields above.
  static std::span<const TQKeyValueEntry<TQFolder>> keyValueTable();
};
