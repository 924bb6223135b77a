#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"

#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"

std::optional<std::string> TQETag::eTag() const {
  refreshIfStale();
  std::lock_guard lock(mutex_);
  return eTag_;
}

void TQETag::setETag(std::optional<std::string> value) {
  {
    std::lock_guard lock(mutex_);
    eTag_ = std::move(value);
  }
  didChange();
}

std::optional<std::string> TQETag::eTagID() const {
  refreshIfStale();
  std::lock_guard lock(mutex_);
  return eTagID_;
}

void TQETag::setETagID(std::optional<std::string> value) {
  {
    std::lock_guard lock(mutex_);
    eTagID_ = std::move(value);
  }
  didChange();
}

void TQETag::addResourcesObject(const std::shared_ptr<TQDBResource>& resource) {
  if (!resource) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    addedResources_.push_back(resource);
  }
  didChange();
}

std::vector<std::shared_ptr<TQDBResource>> TQETag::resources() const {
  const auto context = managedObjectContext();
  const int64_t rowID = objectID().rowID();
  if (!context || rowID <= 0) {
    return {};
  }
  std::vector<std::shared_ptr<TQDBResource>> related;
  for (auto& object :
       context->fetchWhere(TQDBResource::kEntityName, TQEntitySQL::relatedResourcesWhere(),
                           {tq::Value(rowID)}, TQEntitySQL::orderByIdentifier(), nullptr)) {
    if (auto resource = std::dynamic_pointer_cast<TQDBResource>(object)) {
      related.push_back(std::move(resource));
    }
  }
  return related;
}

std::vector<tq::Value> TQETag::rowValuesLocked() const {
  return {TQValueOf(eTag_), TQValueOf(eTagID_)};
}

void TQETag::setRowValuesLocked(const std::vector<tq::Value>& values) {
  const auto text = [&](size_t i) -> std::optional<std::string> {
    const auto* value = i < values.size() ? std::get_if<std::string>(&values[i]) : nullptr;
    return value != nullptr ? std::optional<std::string>(*value) : std::nullopt;
  };
  eTag_ = text(0);
  eTagID_ = text(1);
}

std::vector<std::shared_ptr<TQManagedObject>> TQETag::takeRelatedObjectsLocked() {
  return std::exchange(addedResources_, {});
}
