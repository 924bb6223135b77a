// TQSynchronizedArray: a list of shared objects behind its own recursive lock, for the lists that
// several threads change (a batch's unfinished calls, a chunked upload's chunk calls).
//
// Promises: an object is on the list at most once; order is insertion order; snapshot() is a
// copy, so callers iterate without the lock; withLock() runs a block as one critical section;
// the last reference to a removed object is dropped after the lock is released, so removal
// never runs an object's destructor under the lock. Safe from any thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

template <class T>
class TQSynchronizedArray {
 public:
  using Element = std::shared_ptr<T>;

  TQSynchronizedArray() = default;
  TQSynchronizedArray(const TQSynchronizedArray&) = delete;
  TQSynchronizedArray& operator=(const TQSynchronizedArray&) = delete;

  // Appends `element`; false (and no change) when it is nullptr or already on the list.
  bool add(Element element) {
    if (!element) {
      return false;
    }
    std::lock_guard lock(mutex_);
    if (std::find(elements_.begin(), elements_.end(), element) != elements_.end()) {
      return false;
    }
    elements_.push_back(std::move(element));
    return true;
  }

  // Takes `element` off the list; false when it was not on it.
  bool remove(const T* element) {
    Element removed;
    {
      std::lock_guard lock(mutex_);
      const auto found = std::find_if(elements_.begin(), elements_.end(),
                                      [element](const Element& e) { return e.get() == element; });
      if (found == elements_.end()) {
        return false;
      }
      removed = std::move(*found);
      elements_.erase(found);
    }
    return true;  // `removed` goes after the lock
  }
  bool remove(const Element& element) { return remove(element.get()); }

  // Empties the list and answers what it held.
  std::vector<Element> removeAll() {
    std::lock_guard lock(mutex_);
    return std::exchange(elements_, {});
  }

  std::vector<Element> snapshot() const {
    std::lock_guard lock(mutex_);
    return elements_;
  }

  bool contains(const T* element) const {
    std::lock_guard lock(mutex_);
    return std::any_of(elements_.begin(), elements_.end(),
                       [element](const Element& e) { return e.get() == element; });
  }

  std::size_t count() const {
    std::lock_guard lock(mutex_);
    return elements_.size();
  }

  // Runs `block(elements)` under the lock. The block must not call out to code that may wait for
  // another thread, and should move out anything it removes so that it is released afterwards.
  template <class Block>
  decltype(auto) withLock(Block&& block) {
    std::lock_guard lock(mutex_);
    return std::forward<Block>(block)(elements_);
  }

 private:
  mutable std::recursive_mutex mutex_;
  std::vector<Element> elements_;
};
