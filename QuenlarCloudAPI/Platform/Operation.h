// Operations: units of work that an OperationQueue runs once their dependencies have finished.
//
// Promises:
// - State moves one way: not started, then (optionally) executing, then finished. Finishing is
//   final; it happens exactly once, whoever asks for it.
// - An operation is ready when it is cancelled or when every dependency has finished (a cancelled
//   dependency finishes too, without running). Dependencies form a graph the caller keeps free of
//   cycles; operations in a cycle never become ready.
// - cancel() only sets a flag: an operation cancelled before it starts finishes without main();
//   one cancelled while it runs goes on and finishes as usual, and may look at isCancelled().
// - A synchronous operation finishes when main() returns (or throws). An asynchronous operation
//   (isAsynchronous() answers true) stays unfinished after main() returns, until it calls
//   finish(), from any thread.
// - The completion block runs once, right after the operation finished, on the thread that
//   finished it; then the dependents learn that it finished. Nothing here calls out while holding
//   a lock.
// All methods are safe from any thread. Operations live in std::shared_ptr (make them with
// std::make_shared): dependents and queues find them through it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tq {

class Operation;

namespace detail {
class OperationQueueCore;

// What an operation tells the queue that holds it. Called without any lock of the operation held.
class OperationOwner {
 public:
  virtual ~OperationOwner() = default;
  virtual void operationBecameReady(const std::shared_ptr<Operation>& operation) = 0;
  virtual void operationDidFinish(const Operation& operation) = 0;

 protected:
  OperationOwner() = default;
  OperationOwner(const OperationOwner&) = delete;
  OperationOwner& operator=(const OperationOwner&) = delete;
};
}  // namespace detail

class Operation : public std::enable_shared_from_this<Operation> {
 public:
  Operation() = default;
  virtual ~Operation() = default;
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

  // Begins the work; a queue calls it once the operation is ready, on one of its workers. Call it
  // yourself only for an operation that is in no queue. The default does nothing when the
  // operation already started or finished; otherwise it finishes a cancelled operation without
  // main(), and else runs main(): a synchronous operation is marked executing around main() and
  // finished after it, an asynchronous one is left to manage its own state. When main() throws,
  // the exception is written to the system log and the operation finished; nothing propagates.
  // Overrides take over all of that and must end in finish().
  virtual void start();

  // The work itself; the default does nothing.
  virtual void main() {}

  // Marks the operation cancelled (see above). Overrides call the base.
  virtual void cancel();

  // True for an operation that goes on after main() returns and ends by calling finish().
  virtual bool isAsynchronous() const { return false; }

  bool isCancelled() const { return cancelled_.load(); }
  bool isExecuting() const { return executing_.load(); }
  bool isFinished() const { return finished_.load(); }
  bool isReady() const;

  // Makes this operation wait for `operation`. Has no effect once this operation has started or
  // finished, or when `operation` is null, this operation itself or already a dependency.
  void addDependency(const std::shared_ptr<Operation>& operation);
  std::vector<std::shared_ptr<Operation>> dependencies() const;

  // The block to run once the operation finished, also when it was cancelled. Exceptions it throws
  // are written to the system log. Setting it after the operation finished has no effect.
  void setCompletionBlock(std::function<void()> block);

 protected:
  // For asynchronous operations: says whether the work is under way. Ignored once finished.
  void setExecuting(bool executing);

  // Marks the operation finished (and no longer executing): runs the completion block, lets the
  // dependents go and takes the operation out of its queue. Later calls do nothing.
  void finish();

 private:
  friend class detail::OperationQueueCore;

  bool readyLocked() const;
  void dependencyDidFinish();
  // Called by a queue under its lock: binds the operation to it and answers whether it is ready;
  // throws std::invalid_argument when the operation cannot be enqueued (already in a queue,
  // started or finished).
  bool attachToQueue(std::shared_ptr<detail::OperationOwner> queue);
  // Called by a queue right before start(): from now on dependencies no longer change.
  void markStarted();

  mutable std::mutex mutex_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> executing_{false};
  std::atomic<bool> finished_{false};
  bool started_ = false;       // claimed by a queue or start(); guarded by mutex_
  bool startEntered_ = false;  // the default start() ran; guarded by mutex_
  std::vector<std::shared_ptr<Operation>> dependencies_;  // guarded by mutex_
  std::vector<std::weak_ptr<Operation>> dependents_;      // guarded by mutex_
  std::function<void()> completionBlock_;                 // guarded by mutex_
  std::shared_ptr<detail::OperationOwner> queue_;         // guarded by mutex_; set while enqueued
};

// An operation that runs one block as its main().
class BlockOperation final : public Operation {
 public:
  explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}
  static std::shared_ptr<BlockOperation> create(std::function<void()> block) {
    return std::make_shared<BlockOperation>(std::move(block));
  }

  void main() override {
    if (block_) {
      block_();
    }
  }

 private:
  const std::function<void()> block_;
};

}  // namespace tq
