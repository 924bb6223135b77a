// TQAPIArray: the facade's list of live calls. It keeps every started call alive until its
// result is delivered or it is cancelled, and finds the call that owns a session event.
//
// Promises: a call is on the list at most once, in the order it was added; snapshot() is a copy
// taken under the list's recursive lock; callbacks never run under the lock, and the last
// reference to a removed call is dropped after the lock is released. Event routing is by an
// index on (session, task identifier) kept in step with each call's identity, so it costs the
// same however many calls are live; it answers what a walk of the list in order would: the
// first call whose apiID equals the task identifier and whose session matches (nullopt and ""
// are the same session). Identifier 0 (an unstarted call) never matches. Safe from any thread.
//
// Lock order: this list's lock may be held while a call's own lock is taken, never the reverse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class TQAPI;

class TQAPIArray {
 public:
  TQAPIArray() = default;
  TQAPIArray(const TQAPIArray&) = delete;
  TQAPIArray& operator=(const TQAPIArray&) = delete;

  // Appends the call; false (and no change) when it is nullptr or already on the list.
  bool add(const std::shared_ptr<TQAPI>& call);
  // Takes the call off; false when it was not on the list.
  bool remove(const TQAPI* call);
  bool remove(const std::shared_ptr<TQAPI>& call) { return remove(call.get()); }

  std::vector<std::shared_ptr<TQAPI>> snapshot() const;
  bool contains(const TQAPI* call) const;
  std::size_t count() const;

  // The live call that owns task `apiID` of session `sessionID`, or nullptr.
  std::shared_ptr<TQAPI> find(uint64_t apiID, const std::optional<std::string>& sessionID) const;

  // Re-reads the call's apiID and sessionID into the index; nothing when it is not on the list.
  // A call calls this whenever its task identity changes.
  void taskIdentityChanged(const TQAPI& call);

 private:
  struct RouteKey {
    std::string session;  // "" for the default session
    uint64_t apiID = 0;
    bool operator==(const RouteKey&) const = default;
  };
  struct RouteKeyHash {
    std::size_t operator()(const RouteKey& key) const;
  };
  struct Entry {
    std::shared_ptr<TQAPI> call;
    std::optional<RouteKey> key;
  };

  static std::optional<RouteKey> routeKeyOf(const TQAPI& call);
  void unindex(uint64_t sequence, const Entry& entry);
  void index(uint64_t sequence, Entry& entry);

  mutable std::recursive_mutex mutex_;
  uint64_t nextSequence_ = 1;
  std::map<uint64_t, Entry> entries_;  // by sequence number, which is list order
  std::unordered_map<const TQAPI*, uint64_t> sequenceOf_;
  std::unordered_map<RouteKey, std::set<uint64_t>, RouteKeyHash> routes_;
};
