// The notification centre: hands named notifications to the observers registered for the name.
//
// Promises:
// - post() is synchronous: it calls the observers of the name on the calling thread, in the order
//   they were registered, and returns after the last one.
// - Each post works over a snapshot of the observers taken when it begins, so an observer may add
//   or remove observers (itself included) while being called. Such changes apply to later posts;
//   in particular an observer removed while a post is under way, on this or another thread, may
//   still be called by that post, so blocks capture what they use weakly.
// - An observer that throws is written to the system log; the others are still called.
// - No observer is called, and no block destroyed, while the centre's lock is held.
// All methods are safe from any thread.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tq {

using NotificationUserInfo = std::map<std::string, std::any>;

struct Notification {
  std::string name;
  std::any object;
  NotificationUserInfo userInfo;
};

using NotificationObserverBlock = std::function<void(const Notification& notification)>;

class NotificationCenter {
 public:
  // Names one registration; a default-made token names none.
  class ObserverToken {
   public:
    ObserverToken() = default;
    bool valid() const { return id_ != 0; }
    friend bool operator==(const ObserverToken&, const ObserverToken&) = default;

   private:
    friend class NotificationCenter;
    explicit ObserverToken(std::uint64_t id) : id_(id) {}
    std::uint64_t id_ = 0;
  };

  // The process-wide centre the library posts to.
  static NotificationCenter& defaultCenter();

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // Calls `block` for every later post of `name` until the registration is removed. An empty
  // block registers nothing and yields an invalid token.
  ObserverToken addObserver(std::string name, NotificationObserverBlock block);

  // Ends the registration; unknown, invalid or already removed tokens are ignored.
  void removeObserver(const ObserverToken& token);

  void post(std::string name, std::any object = {}, NotificationUserInfo userInfo = {});

 private:
  struct Observer {
    std::string name;
    std::shared_ptr<const NotificationObserverBlock> block;
  };

  std::mutex mutex_;
  std::uint64_t lastId_ = 0;                     // guarded by mutex_
  std::map<std::uint64_t, Observer> observers_;  // by id, which is registration order
};

}  // namespace tq
