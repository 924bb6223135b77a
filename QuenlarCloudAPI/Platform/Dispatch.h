// Dispatch queues: the main queue, the global concurrent queue and private serial queues.
//
// Promises:
// - async() never blocks the caller and runs blocks of a serial queue one at a time, in the order
//   they were submitted.
// - A block that throws never ends the process: the queue logs the exception to the system log
//   and runs the next block.
// - isCurrent() tells whether the calling thread is running a block of that queue.
// - sync() waits for the block; called from a block of the same queue it runs the block inline
//   instead of deadlocking.
// The main and global queues live for the whole process. Dropping the last reference to a serial
// queue waits until the blocks already submitted have run, except when it is dropped by one of
// those blocks: then the queue's thread finishes them on its own. Never drop it from a thread that
// those blocks wait on.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tq {

using Block = std::function<void()>;

class DispatchQueue {
 public:
  explicit DispatchQueue(std::string label) : label_(std::move(label)) {}
  virtual ~DispatchQueue() = default;
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // Schedules the block; an empty block is ignored.
  virtual void async(Block block) = 0;

  // Runs the block on the queue and returns once it has run (exceptions are logged, not
  // rethrown). Must not be used to wait on a queue that is itself waiting on the caller.
  void sync(Block block);

  bool isCurrent() const;
  const std::string& label() const { return label_; }

 protected:
  // Runs one block with the queue identified by `identity` marked current on the calling thread,
  // catching what it throws. `identity` is only compared, never dereferenced, so a serial queue's
  // thread may go on draining after the queue object is gone.
  static void perform(const void* identity, const std::string& label, const Block& block);
  void perform(const Block& block) const { perform(identity_, label_, block); }

  // What isCurrent() compares with; by default the queue's address. A queue whose blocks may
  // outlive it names something that lives as long as its thread, so that a new queue created at
  // the same address is never taken for the old one.
  void setIdentity(const void* identity) { identity_ = identity; }

 private:
  std::string label_;
  const void* identity_ = this;
};

// A queue that runs its blocks one at a time on a thread of its own.
class SerialQueue final : public DispatchQueue {
 public:
  static std::shared_ptr<SerialQueue> create(std::string label);
  ~SerialQueue() override;

  void async(Block block) override;

 private:
  struct State;
  explicit SerialQueue(std::string label);
  std::shared_ptr<State> state_;
};

// The main queue: serial. A library thread runs it unless the host handed it to its own loop
// with setMainQueueExecutor() before first use.
DispatchQueue& mainQueue();

// The global queue: a fixed pool of threads (at least 16), large enough that blocks may wait on
// other queues. Blocks run concurrently in no promised order. A block must not wait for another
// block of the global queue itself: once every thread waits that way, nothing runs.
DispatchQueue& globalQueue();

// Hands the main queue to the host's loop: `executor` must run every block it is given, one at a
// time and in order, on the host's main thread. Takes effect only before the first mainQueue()
// call; returns false when it came too late.
bool setMainQueueExecutor(std::function<void(Block)> executor);

}  // namespace tq
