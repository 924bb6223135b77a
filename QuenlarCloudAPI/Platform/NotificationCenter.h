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
// - hasObservers() lets a poster skip building a notification nobody would receive. Its answer
//   may be out of date by the time the caller acts on it: an observer added on another thread
//   after the check misses the notification the check skipped, exactly as it would have missed a
//   post that had already taken its snapshot; one removed after it lets a post find nobody.
// All methods are safe from any thread.
#pragma once

#include <any>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

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

  // Whether any observer of `name` is registered (see above for what a concurrent change means).
  // When no registered name shares the name's hash bucket this is one atomic load and takes no
  // lock, so it may be asked before every post.
  bool hasObservers(std::string_view name) const;

 private:
  struct Observer {
    std::string name;
    std::shared_ptr<const NotificationObserverBlock> block;
  };

  static constexpr std::size_t kBuckets = 64;
  static std::size_t bucketOf(std::string_view name);

  mutable std::mutex mutex_;
  std::uint64_t lastId_ = 0;                     // guarded by mutex_
  std::map<std::uint64_t, Observer> observers_;  // by id, which is registration order
  // Registrations per name; guarded by mutex_.
  std::map<std::string, std::size_t, std::less<>> countByName_;
  // Registrations per hash bucket of their names: zero proves a name unobserved without the lock.
  // Changed under mutex_, read without it.
  std::array<std::atomic<std::size_t>, kBuckets> countByBucket_{};
};

}  // namespace tq
