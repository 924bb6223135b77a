#include "QuenlarCloudAPI/Platform/NotificationCenter.h"

#include <exception>
#include <functional>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace tq {

NotificationCenter& NotificationCenter::defaultCenter() {
  // Leaked on purpose: observers may be removed and notifications posted during exit.
  static auto* center = new NotificationCenter;
  return *center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name,
                                                                  NotificationObserverBlock block) {
  if (!block) {
    return {};
  }
  auto shared = std::make_shared<const NotificationObserverBlock>(std::move(block));
  std::lock_guard lock(mutex_);
  const std::uint64_t id = ++lastId_;
  countByBucket_[bucketOf(name)].fetch_add(1, std::memory_order_release);
  ++countByName_[name];
  observers_.emplace(id, Observer{std::move(name), std::move(shared)});
  return ObserverToken(id);
}

void NotificationCenter::removeObserver(const ObserverToken& token) {
  Observer removed;
  {
    std::lock_guard lock(mutex_);
    auto it = observers_.find(token.id_);
    if (it == observers_.end()) {
      return;
    }
    removed = std::move(it->second);
    observers_.erase(it);
    if (const auto counted = countByName_.find(removed.name); --counted->second == 0) {
      countByName_.erase(counted);
    }
    countByBucket_[bucketOf(removed.name)].fetch_sub(1, std::memory_order_release);
  }
  // The block, and what it captured, may go here, after unlocking.
}

std::size_t NotificationCenter::bucketOf(std::string_view name) {
  return std::hash<std::string_view>{}(name) % kBuckets;
}

bool NotificationCenter::hasObservers(std::string_view name) const {
  if (countByBucket_[bucketOf(name)].load(std::memory_order_acquire) == 0) {
    return false;
  }
  // Another name shares the bucket, or this one is observed: only the exact count can tell.
  std::lock_guard lock(mutex_);
  return countByName_.find(name) != countByName_.end();
}

void NotificationCenter::post(std::string name, std::any object, NotificationUserInfo userInfo) {
  if (countByBucket_[bucketOf(name)].load(std::memory_order_acquire) == 0) {
    return;  // nobody observes the name: not even the lock is needed
  }
  std::vector<std::shared_ptr<const NotificationObserverBlock>> blocks;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, observer] : observers_) {
      if (observer.name == name) {
        blocks.push_back(observer.block);
      }
    }
  }
  if (blocks.empty()) {
    return;
  }
  const Notification notification{std::move(name), std::move(object), std::move(userInfo)};
  for (const auto& block : blocks) {
    try {
      (*block)(notification);
    } catch (const std::exception& e) {
      systemLog("[FATEL] exception escaped an observer of " + notification.name + ": " + e.what());
    } catch (...) {
      systemLog("[FATEL] unknown exception escaped an observer of " + notification.name);
    }
  }
}

}  // namespace tq
