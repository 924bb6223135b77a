// Operation queues: run operations once they are ready, on workers that every queue of the
// process shares.
//
// Promises:
// - A queue holds each operation strongly from addOperation until it finished; then the operation
//   leaves the queue, and the queue's reference is dropped outside every lock.
// - Ready operations start in the order they became ready, as many at once as the shared workers
//   allow and, when set, no more than maxConcurrentOperationCount unfinished ones. An asynchronous
//   operation frees its worker when its main() returns and its place under
//   maxConcurrentOperationCount when it finishes. Queues with work take turns at the workers, one
//   operation each, so that a long queue cannot hold another one back.
// - A main() (or an overridden start()) that throws never ends the process: the exception goes to
//   the system log and the operation is marked finished.
// - One pool of workerPoolSize() workers serves every queue of the process (the main operation
//   queue aside); they start as work first needs them and then stay for the process's life, never
//   joined, beside one watcher thread. So a process with many queues (one per batch) holds no more
//   threads than the pool, and starts none per queue once warm.
// - An operation whose main() blocks until another operation ran, of its own queue or any other,
//   holds its worker meanwhile. Should every worker be held while work waits, the watcher adds one
//   worker for each quarter second in which no operation returned, until the waits resolve or the
//   process runs workerPoolCeiling() workers; such extra workers leave after a few seconds without
//   work. At the ceiling no worker is added, whatever waits: ready operations of every queue wait
//   until a running one returns. So blocking operations delay every queue, and waits that need
//   more workers than the ceiling at once stay stuck for good, as do those that can never end (a
//   cycle of operations waiting on each other), and with them every queue's later work once they
//   hold every worker. Prefer dependencies or asynchronous operations to blocking: a waiting
//   operation holds a worker every queue shares.
// - Destroying a queue neither cancels nor waits: the operations already added still run and
//   finish, and keep what the workers need alive (an operation that never finishes keeps it for
//   good). So a queue may be released from inside one of its own operations or their handlers.
// - Nothing here calls an operation (start, cancel, completion) while holding the queue's lock.
// All methods are safe from any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "QuenlarCloudAPI/Platform/Operation.h"

namespace tq {

class OperationQueue {
 public:
  // No limit beyond the number of workers.
  static constexpr int kDefaultMaxConcurrentOperationCount = -1;

  // The number of workers shared by every queue but the main operation queue: twice the hardware
  // threads, at least 4.
  static std::size_t workerPoolSize();
  // The most workers the pool ever runs, those added against starvation included: four times the
  // hardware threads, at least 16.
  static std::size_t workerPoolCeiling();

  OperationQueue();
  virtual ~OperationQueue();
  OperationQueue(const OperationQueue&) = delete;
  OperationQueue& operator=(const OperationQueue&) = delete;

  // Adds an operation, which starts once it is ready. Throws std::invalid_argument for a null
  // operation or one that is already in a queue, has started or has finished.
  void addOperation(const std::shared_ptr<Operation>& operation);

  // Adds each operation in turn, as addOperation does (when one is refused, those before it stay
  // added). With waitUntilFinished, returns once all of them finished.
  void addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                     bool waitUntilFinished);

  // Adds a BlockOperation running `block`.
  void addOperationWithBlock(std::function<void()> block);

  // Cancels every operation the queue holds at the moment of the call (see Operation::cancel).
  virtual void cancelAllOperations();

  // The operations not yet finished, in the order they were added.
  std::vector<std::shared_ptr<Operation>> operations() const;
  std::size_t operationCount() const;

  // Returns once the queue holds no operation. Throws std::logic_error when called from one of the
  // queue's own operations (or, for the main operation queue, from the main queue), where it
  // would wait for itself. An operation of another queue may wait: it holds its worker meanwhile
  // (see above).
  void waitUntilAllOperationsAreFinished();

  int maxConcurrentOperationCount() const;
  // -1 (the default) or a limit; 0 starts nothing until raised. Throws std::invalid_argument
  // below -1.
  void setMaxConcurrentOperationCount(int count);

 private:
  friend OperationQueue& mainOperationQueue();
  struct OnMainQueue {};
  explicit OperationQueue(OnMainQueue);

  std::shared_ptr<detail::OperationQueueCore> core_;
};

// The queue whose operations run on tq::mainQueue(), one at a time.
OperationQueue& mainOperationQueue();

}  // namespace tq
