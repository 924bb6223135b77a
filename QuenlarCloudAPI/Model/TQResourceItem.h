// TQResourceItem: the typed model of a file or folder, root of the item tree (TQFolder, TQFile,
// TQPhoto, TQVideo, TQAudio). Each class offers only the attributes that make sense for its kind;
// the caller chooses the class, nothing here looks at a mime type. Built from a server resource
// object (initWithDict) or bound to a stored row (initWithDBResourceID), after which the getters
// of every level read that one row.
//
// Setters change the object only, never a stored row; on a bound object the getters go on
// answering the row. A row deleted after binding answers the values last read; an identifier with
// no row answers the object's own values. Safe from any thread. Not copyable: items are shared
// through std::shared_ptr.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Helper_Class/TQKeyValueCoding.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"
#include "QuenlarCloudAPI/Model/TQNumber.h"
#include "QuenlarCloudAPI/Model/TQResourceBinding.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQResourceItem {
 public:
  TQResourceItem() = default;
  virtual ~TQResourceItem() = default;
  TQResourceItem(const TQResourceItem&) = delete;
  TQResourceItem& operator=(const TQResourceItem&) = delete;

  // The item of one resource object; a value that is not an object gives an item of nils.
  static std::shared_ptr<TQResourceItem> initWithDict(const tq::JSON& dict);
  // The item bound to the stored row.
  static std::shared_ptr<TQResourceItem> initWithDBResourceID(
      const TQManagedObjectID& dbResourceID);

  std::optional<std::string> name() const { return binding_.get(&TQResourceValues::name); }
  void setName(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::name, std::move(value));
  }
  std::optional<TQNumber> size() const { return binding_.get(&TQResourceValues::size); }
  void setSize(std::optional<TQNumber> value) { binding_.set(&TQResourceValues::size, value); }
  std::optional<tq::Date> versionCreated() const {
    return binding_.get(&TQResourceValues::versionCreated);
  }
  void setVersionCreated(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::versionCreated, value);
  }
  std::optional<std::string> contentToken() const {
    return binding_.get(&TQResourceValues::contentToken);
  }
  void setContentToken(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::contentToken, std::move(value));
  }
  std::optional<std::string> checkSum() const { return binding_.get(&TQResourceValues::checkSum); }
  void setCheckSum(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::checkSum, std::move(value));
  }
  std::optional<std::string> parentPath() const {
    return binding_.get(&TQResourceValues::parentPath);
  }
  void setParentPath(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::parentPath, std::move(value));
  }
  std::optional<TQNumber> version() const { return binding_.get(&TQResourceValues::version); }
  void setVersion(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::version, value);
  }
  std::optional<std::string> extension() const {
    return binding_.get(&TQResourceValues::extension);
  }
  void setExtension(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::extension, std::move(value));
  }
  std::optional<tq::Date> creationDate() const {
    return binding_.get(&TQResourceValues::creationDate);
  }
  void setCreationDate(std::optional<tq::Date> value) {
    binding_.set(&TQResourceValues::creationDate, value);
  }
  std::optional<TQNumber> deleted() const { return binding_.get(&TQResourceValues::deleted); }
  void setDeleted(std::optional<TQNumber> value) {
    binding_.set(&TQResourceValues::deleted, value);
  }
  std::optional<std::string> fullPath() const { return binding_.get(&TQResourceValues::fullPath); }
  void setFullPath(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::fullPath, std::move(value));
  }
  std::optional<std::string> uri() const { return binding_.get(&TQResourceValues::uri); }
  void setUri(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::uri, std::move(value));
  }
  std::optional<std::string> tags() const { return binding_.get(&TQResourceValues::tags); }
  void setTags(std::optional<std::string> value) {
    binding_.set(&TQResourceValues::tags, std::move(value));
  }

  std::shared_ptr<TQDBResource> dbResource() const { return binding_.dbResource(); }
  void setDbResource(std::shared_ptr<TQDBResource> row) { binding_.setDbResource(std::move(row)); }
  std::optional<TQManagedObjectID> dbResourceID() const { return binding_.dbResourceID(); }
  void setDbResourceID(std::optional<TQManagedObjectID> rowID) {
    binding_.setDbResourceID(std::move(rowID));
  }

  // Key-value table for sorting by key path: the field names above.
  static std::span<const TQKeyValueEntry<TQResourceItem>> keyValueTable();

 protected:
  // Fills every level's fields from a resource object, as initWithDict does.
  void loadDict(const tq::JSON& dict);
  // Binds every level to the row, as initWithDBResourceID does.
  void bindToRow(const TQManagedObjectID& dbResourceID);

  // Makes an item of class T from a resource object or a row identifier.
  template <class T>
  static std::shared_ptr<T> makeWithDict(const tq::JSON& dict) {
    auto item = std::make_shared<T>();
    item->loadDict(dict);
    return item;
  }
  template <class T>
  static std::shared_ptr<T> makeWithDBResourceID(const TQManagedObjectID& dbResourceID) {
    auto item = std::make_shared<T>();
    item->bindToRow(dbResourceID);
    return item;
  }

  // One binding for every level of the object, so all levels answer from the same row.
  TQResourceBinding binding_;
};
