#include "QuenlarCloudAPI/API/TQAPIArray.h"

#include <functional>

#include "QuenlarCloudAPI/API/TQAPI.h"

std::size_t TQAPIArray::RouteKeyHash::operator()(const RouteKey& key) const {
  return std::hash<std::string>()(key.session) ^ (std::hash<uint64_t>()(key.apiID) * 31);
}

std::optional<TQAPIArray::RouteKey> TQAPIArray::routeKeyOf(const TQAPI& call) {
  const uint64_t apiID = call.apiID();
  if (apiID == 0) {
    return std::nullopt;
  }
  return RouteKey{call.sessionID().value_or(""), apiID};
}

void TQAPIArray::index(uint64_t sequence, Entry& entry) {
  entry.key = routeKeyOf(*entry.call);
  if (entry.key) {
    routes_[*entry.key].insert(sequence);
  }
}

void TQAPIArray::unindex(uint64_t sequence, const Entry& entry) {
  if (!entry.key) {
    return;
  }
  const auto found = routes_.find(*entry.key);
  if (found != routes_.end()) {
    found->second.erase(sequence);
    if (found->second.empty()) {
      routes_.erase(found);
    }
  }
}

bool TQAPIArray::add(const std::shared_ptr<TQAPI>& call) {
  if (!call) {
    return false;
  }
  std::lock_guard lock(mutex_);
  if (sequenceOf_.count(call.get()) != 0) {
    return false;
  }
  const uint64_t sequence = nextSequence_++;
  auto& entry = entries_[sequence];
  entry.call = call;
  index(sequence, entry);
  sequenceOf_.emplace(call.get(), sequence);
  return true;
}

bool TQAPIArray::remove(const TQAPI* call) {
  std::shared_ptr<TQAPI> removed;
  {
    std::lock_guard lock(mutex_);
    const auto found = sequenceOf_.find(call);
    if (found == sequenceOf_.end()) {
      return false;
    }
    const uint64_t sequence = found->second;
    sequenceOf_.erase(found);
    auto entry = entries_.find(sequence);
    unindex(sequence, entry->second);
    removed = std::move(entry->second.call);
    entries_.erase(entry);
  }
  return true;  // the call may be released here, outside the lock
}

std::vector<std::shared_ptr<TQAPI>> TQAPIArray::snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<TQAPI>> calls;
  calls.reserve(entries_.size());
  for (const auto& [sequence, entry] : entries_) {
    calls.push_back(entry.call);
  }
  return calls;
}

bool TQAPIArray::contains(const TQAPI* call) const {
  std::lock_guard lock(mutex_);
  return sequenceOf_.count(call) != 0;
}

std::size_t TQAPIArray::count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

std::shared_ptr<TQAPI> TQAPIArray::find(uint64_t apiID,
                                        const std::optional<std::string>& sessionID) const {
  if (apiID == 0) {
    return nullptr;
  }
  std::lock_guard lock(mutex_);
  const auto found = routes_.find(RouteKey{sessionID.value_or(""), apiID});
  if (found == routes_.end() || found->second.empty()) {
    return nullptr;
  }
  return entries_.at(*found->second.begin()).call;
}

void TQAPIArray::taskIdentityChanged(const TQAPI& call) {
  std::lock_guard lock(mutex_);
  const auto found = sequenceOf_.find(&call);
  if (found == sequenceOf_.end()) {
    return;
  }
  auto& entry = entries_.at(found->second);
  unindex(found->second, entry);
  index(found->second, entry);
}
