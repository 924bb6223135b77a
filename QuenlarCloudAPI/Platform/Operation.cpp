#include "QuenlarCloudAPI/Platform/Operation.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace tq {

bool Operation::readyLocked() const {
  // Dependencies are only ever read through their atomic flag, so no second operation lock is
  // taken here and a dependency cycle cannot deadlock threads.
  return cancelled_.load() ||
         std::all_of(dependencies_.begin(), dependencies_.end(),
                     [](const std::shared_ptr<Operation>& d) { return d->isFinished(); });
}

bool Operation::isReady() const {
  std::lock_guard lock(mutex_);
  return readyLocked();
}

void Operation::start() {
  {
    std::lock_guard lock(mutex_);
    if (startEntered_ || finished_.load()) {
      return;
    }
    startEntered_ = true;
    started_ = true;
  }
  if (isCancelled()) {
    finish();
    return;
  }
  const bool asynchronous = isAsynchronous();
  if (!asynchronous) {
    setExecuting(true);
  }
  try {
    main();
  } catch (const std::exception& e) {
    systemLog(std::string("[FATEL] exception escaped an operation: ") + e.what());
    finish();
  } catch (...) {
    systemLog("[FATEL] unknown exception escaped an operation");
    finish();
  }
  if (!asynchronous) {
    finish();
  }
}

void Operation::cancel() {
  std::shared_ptr<detail::OperationOwner> queue;
  {
    std::lock_guard lock(mutex_);
    if (finished_.load() || cancelled_.load()) {
      return;
    }
    const bool wasReady = readyLocked();
    cancelled_.store(true);
    if (!wasReady) {
      queue = queue_;
    }
  }
  if (queue) {
    queue->operationBecameReady(shared_from_this());
  }
}

void Operation::addDependency(const std::shared_ptr<Operation>& operation) {
  if (!operation || operation.get() == this) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (started_ || finished_.load() ||
        std::find(dependencies_.begin(), dependencies_.end(), operation) != dependencies_.end()) {
      return;
    }
    dependencies_.push_back(operation);
  }
  bool alreadyFinished = false;
  {
    std::lock_guard lock(operation->mutex_);
    alreadyFinished = operation->finished_.load();
    if (!alreadyFinished) {
      operation->dependents_.push_back(weak_from_this());
    }
  }
  // The dependency may have finished before it knew about us; a queue may meanwhile have found us
  // not ready and set us aside, so it has to hear that we are ready again.
  if (alreadyFinished) {
    dependencyDidFinish();
  }
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
  std::lock_guard lock(mutex_);
  return dependencies_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
  {
    std::lock_guard lock(mutex_);
    if (!finished_.load()) {
      std::swap(completionBlock_, block);
    }
  }
  // `block` now holds the replaced (or refused) block: it and what it captured go after unlocking.
}

void Operation::setExecuting(bool executing) {
  std::lock_guard lock(mutex_);
  if (!finished_.load()) {
    executing_.store(executing);
  }
}

void Operation::finish() {
  // The queue drops its reference below; keep the operation alive until this call returns.
  auto self = weak_from_this().lock();
  std::function<void()> completion;
  std::vector<std::weak_ptr<Operation>> dependents;
  std::shared_ptr<detail::OperationOwner> queue;
  {
    std::lock_guard lock(mutex_);
    if (finished_.load()) {
      return;
    }
    executing_.store(false);
    finished_.store(true);
    completion = std::move(completionBlock_);
    completionBlock_ = nullptr;
    dependents.swap(dependents_);
    queue = std::move(queue_);
    queue_ = nullptr;
  }
  if (completion) {
    try {
      completion();
    } catch (const std::exception& e) {
      systemLog(std::string("[FATEL] exception escaped an operation's completion block: ") +
                e.what());
    } catch (...) {
      systemLog("[FATEL] unknown exception escaped an operation's completion block");
    }
    completion = nullptr;
  }
  for (const auto& weakDependent : dependents) {
    if (auto dependent = weakDependent.lock()) {
      dependent->dependencyDidFinish();
    }
  }
  if (queue) {
    queue->operationDidFinish(*this);
  }
}

void Operation::dependencyDidFinish() {
  std::shared_ptr<detail::OperationOwner> queue;
  {
    std::lock_guard lock(mutex_);
    if (!queue_ || !readyLocked()) {
      return;
    }
    queue = queue_;
  }
  queue->operationBecameReady(shared_from_this());
}

bool Operation::attachToQueue(std::shared_ptr<detail::OperationOwner> queue) {
  std::lock_guard lock(mutex_);
  if (queue_) {
    throw std::invalid_argument("operation is already in a queue");
  }
  if (finished_.load()) {
    throw std::invalid_argument("operation is finished and cannot be added to a queue");
  }
  if (started_) {
    throw std::invalid_argument("operation has started and cannot be added to a queue");
  }
  queue_ = std::move(queue);
  return readyLocked();
}

void Operation::markStarted() {
  std::lock_guard lock(mutex_);
  started_ = true;
}

}  // namespace tq
