// TQETag: the ETag of one virtual folder's last fullview answer, a row of the entity "TQETag",
// with the rows that the folder's answers inserted (the to-many relationship `resources`).
//
// Same caching and thread safety as every TQManagedObject.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"

class TQDBResource;

class TQETag final : public TQManagedObjectEntity<TQETag> {
 public:
  static constexpr std::string_view kEntityName = kTQETagEntityName;

  TQETag() = default;

  // The last ETag received for the folder's fullview.
  std::optional<std::string> eTag() const;
  void setETag(std::optional<std::string> value);
  // The virtual folder's key, by which the full sync finds the row.
  std::optional<std::string> eTagID() const;
  void setETagID(std::optional<std::string> value);

  // Relates a resource to this folder; written with this object's next write, once the resource
  // is written too (both must belong to the same context).
  void addResourcesObject(const std::shared_ptr<TQDBResource>& resource);
  // The related resources as this object's context sees them (written relations only); empty
  // without a context.
  std::vector<std::shared_ptr<TQDBResource>> resources() const;

 protected:
  std::vector<tq::Value> rowValuesLocked() const override;
  void setRowValuesLocked(const std::vector<tq::Value>& values) override;
  std::vector<std::shared_ptr<TQManagedObject>> takeRelatedObjectsLocked() override;

 private:
  std::optional<std::string> eTag_;
  std::optional<std::string> eTagID_;
  std::vector<std::shared_ptr<TQManagedObject>> addedResources_;
};
