#include "QuenlarCloudAPI/Platform/OperationQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>

#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace tq {
namespace detail {
namespace {

// The queue whose operation the calling thread is running, to refuse waits that would deadlock.
// Workers serve every queue, so this is the only sound test of "one of the queue's own": a worker
// running another queue's operation may wait for this one.
thread_local const OperationQueueCore* runningQueue = nullptr;

class RunningQueueScope {
 public:
  explicit RunningQueueScope(const OperationQueueCore* queue) : previous_(runningQueue) {
    runningQueue = queue;
  }
  ~RunningQueueScope() { runningQueue = previous_; }
  RunningQueueScope(const RunningQueueScope&) = delete;
  RunningQueueScope& operator=(const RunningQueueScope&) = delete;

 private:
  const OperationQueueCore* previous_;
};

// How long every worker may stay busy, with turns waiting and not one turn ending, before the pool
// takes it for operations waiting on each other rather than for long work, and adds a worker.
constexpr auto kStarvationInterval = std::chrono::milliseconds(250);
// How long a worker added against starvation waits for a turn before it leaves.
constexpr auto kAddedWorkerIdleTime = std::chrono::seconds(5);

}  // namespace

// The workers every OperationQueue of the process shares. A queue asks for one turn per operation
// it could start; in each turn a worker lets that queue start its next ready operation. Queues with
// turns left wait in a ring, and each turn goes to the next queue in it, so that busy queues
// alternate whatever their length.
//
// The first workerPoolSize() workers start as turns arrive and then stay, parked, for the
// process's life: a warm process starts no thread per batch. The watcher thread adds workers
// beyond that only while the pool starves, never past workerPoolCeiling(), and they leave once
// idle.
class WorkerPool {
 public:
  static WorkerPool& shared() {
    // Leaked on purpose: its workers are never joined and may still run during exit.
    static auto* pool = new WorkerPool;
    return *pool;
  }

  void request(const std::shared_ptr<OperationQueueCore>& queue, std::size_t turns);

 private:
  WorkerPool() = default;

  // Turns wait and no worker is free to take them.
  bool starvingLocked() const { return turns_ > 0 && idle_ == 0; }
  // Starts `count` workers (already counted in threads_) and, when `withWatcher`, the watcher.
  void startThreads(std::size_t count, bool withWatcher);
  void work();
  void watch();

  // Starving below the ceiling: only then may the watcher add a worker.
  bool mayGrowLocked() const { return starvingLocked() && threads_ < ceiling_; }

  const std::size_t limit_ = OperationQueue::workerPoolSize();
  const std::size_t ceiling_ = OperationQueue::workerPoolCeiling();
  std::mutex mutex_;
  std::condition_variable turnArrived_;
  std::condition_variable watcherWake_;
  std::deque<std::shared_ptr<OperationQueueCore>> ring_;  // each queue with turns left, once
  std::size_t turns_ = 0;                                 // turns left, all queues together
  std::size_t threads_ = 0;                               // workers running or being started
  std::size_t idle_ = 0;                                  // workers waiting for a turn
  std::uint64_t turnsEnded_ = 0;                          // the watcher's sign of progress
  bool watcherStarted_ = false;
  bool watcherParked_ = false;  // waiting for starvation to begin, not timing it
};

// The state of a queue, shared by the queue object, the pool's pending turns and the operations it
// holds, so that it outlives the queue object while work remains.
class OperationQueueCore final : public OperationOwner,
                                 public std::enable_shared_from_this<OperationQueueCore> {
 public:
  explicit OperationQueueCore(bool onMainQueue) : onMainQueue_(onMainQueue) {}

  void add(const std::vector<std::shared_ptr<Operation>>& operations);
  // Throws std::logic_error when the calling thread runs one of this queue's operations.
  void refuseWaitFromOwnOperation() const;
  void waitUntilFinished(const std::vector<std::shared_ptr<Operation>>& operations);
  void waitUntilEmpty();
  std::vector<std::shared_ptr<Operation>> snapshot() const;
  std::size_t count() const;
  int maxConcurrent() const;
  void setMaxConcurrent(int count);

  // One turn granted by the pool or the main queue: starts the next startable operation, if any.
  void runTurn();

  void operationBecameReady(const std::shared_ptr<Operation>& operation) override;
  void operationDidFinish(const Operation& operation) override;

 private:
  friend class WorkerPool;
  enum class Stage { waiting, ready, started };
  struct Entry {
    Stage stage = Stage::waiting;
    std::list<std::shared_ptr<Operation>>::iterator inOrder;
    std::list<Operation*>::iterator inReady;  // valid in the ready stage only
  };

  std::shared_ptr<Operation> takeStartableLocked();
  std::size_t claimTurnsLocked();
  void requestTurns(std::size_t count);
  void run(const std::shared_ptr<Operation>& operation);

  const bool onMainQueue_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::list<std::shared_ptr<Operation>> order_;  // every unfinished operation, in order added
  std::list<Operation*> ready_;                  // ready, not yet started, in order became ready
  std::unordered_map<const Operation*, Entry> entries_;
  std::size_t started_ = 0;       // started by a turn and not finished yet
  std::size_t turnsAwaited_ = 0;  // asked for and not yet begun
  std::size_t turnsRunning_ = 0;  // begun and not yet returned from start()
  std::size_t turnsInPool_ = 0;   // of those awaited, not yet taken by a worker; pool's mutex
  int maxConcurrent_ = OperationQueue::kDefaultMaxConcurrentOperationCount;
};

void WorkerPool::request(const std::shared_ptr<OperationQueueCore>& queue, std::size_t turns) {
  if (turns == 0) {
    return;
  }
  std::size_t starts = 0;
  bool startWatcher = false;
  {
    std::lock_guard lock(mutex_);
    if (queue->turnsInPool_ == 0) {
      ring_.push_back(queue);
    }
    queue->turnsInPool_ += turns;
    turns_ += turns;
    const std::size_t unserved = turns_ > idle_ ? turns_ - idle_ : 0;
    starts = std::min(unserved, limit_ > threads_ ? limit_ - threads_ : 0);
    threads_ += starts;
    startWatcher = !std::exchange(watcherStarted_, true);
    if (starvingLocked() && watcherParked_) {
      watcherWake_.notify_one();
    }
  }
  if (turns == 1) {
    turnArrived_.notify_one();
  } else {
    turnArrived_.notify_all();
  }
  startThreads(starts, startWatcher);
}

void WorkerPool::startThreads(std::size_t count, bool withWatcher) {
  for (std::size_t i = 0; i < count; ++i) {
    try {
      std::thread([this] { work(); }).detach();
    } catch (const std::system_error& e) {
      systemLog(std::string("[FATEL] operation queue could not start a worker: ") + e.what());
      std::lock_guard lock(mutex_);
      --threads_;
    }
  }
  if (withWatcher) {
    try {
      std::thread([this] { watch(); }).detach();
    } catch (const std::system_error& e) {
      systemLog(std::string("[FATEL] operation queue could not start its watcher: ") + e.what());
      std::lock_guard lock(mutex_);
      watcherStarted_ = false;
    }
  }
}

void WorkerPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (turns_ == 0) {
      ++idle_;
      if (threads_ <= limit_) {
        turnArrived_.wait(lock, [this] { return turns_ > 0; });
        --idle_;
        continue;
      }
      const bool arrived =
          turnArrived_.wait_for(lock, kAddedWorkerIdleTime, [this] { return turns_ > 0; });
      --idle_;
      if (!arrived && threads_ > limit_) {
        --threads_;
        return;
      }
      continue;
    }
    auto queue = std::move(ring_.front());
    ring_.pop_front();
    --turns_;
    if (--queue->turnsInPool_ > 0) {
      ring_.push_back(queue);
    }
    // The turn taken may have been the one free worker's; what is left now waits on the others.
    if (starvingLocked() && watcherParked_) {
      watcherWake_.notify_one();
    }
    lock.unlock();
    queue->runTurn();
    // May be the last reference to a released queue; it goes before the lock is taken again.
    queue.reset();
    lock.lock();
    ++turnsEnded_;
  }
}

// Every worker may be held by an operation that waits for another operation still behind a
// pending turn; nothing in the pool would ever end such a wait. When starvation lasts a whole
// interval without one turn ending, one more worker takes the next turn, and again after each
// further such interval.
void WorkerPool::watch() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // At the ceiling the watcher parks too; a turn that arrives or is taken while the pool still
    // starves wakes it to look again.
    if (!mayGrowLocked()) {
      watcherParked_ = true;
      watcherWake_.wait(lock);
      watcherParked_ = false;
      continue;
    }
    const std::uint64_t seen = turnsEnded_;
    const auto deadline = std::chrono::steady_clock::now() + kStarvationInterval;
    while (watcherWake_.wait_until(lock, deadline) == std::cv_status::no_timeout) {
    }
    if (!mayGrowLocked() || turnsEnded_ != seen) {
      continue;
    }
    ++threads_;
    lock.unlock();
    startThreads(1, false);
    lock.lock();
  }
}

void OperationQueueCore::add(const std::vector<std::shared_ptr<Operation>>& operations) {
  for (const auto& operation : operations) {
    if (!operation) {
      throw std::invalid_argument("cannot add a null operation to a queue");
    }
  }
  std::size_t turns = 0;
  std::exception_ptr refused;
  {
    std::lock_guard lock(mutex_);
    for (const auto& operation : operations) {
      bool ready = false;
      try {
        ready = operation->attachToQueue(shared_from_this());
      } catch (const std::invalid_argument&) {
        refused = std::current_exception();
        break;
      }
      Entry entry;
      entry.inOrder = order_.insert(order_.end(), operation);
      if (ready) {
        entry.stage = Stage::ready;
        entry.inReady = ready_.insert(ready_.end(), operation.get());
      }
      entries_.emplace(operation.get(), entry);
    }
    turns = claimTurnsLocked();
  }
  requestTurns(turns);
  if (refused) {
    std::rethrow_exception(refused);
  }
}

void OperationQueueCore::waitUntilFinished(
    const std::vector<std::shared_ptr<Operation>>& operations) {
  refuseWaitFromOwnOperation();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&operations] {
    return std::all_of(operations.begin(), operations.end(),
                       [](const std::shared_ptr<Operation>& op) { return op->isFinished(); });
  });
}

void OperationQueueCore::waitUntilEmpty() {
  refuseWaitFromOwnOperation();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return order_.empty(); });
}

std::vector<std::shared_ptr<Operation>> OperationQueueCore::snapshot() const {
  std::lock_guard lock(mutex_);
  return {order_.begin(), order_.end()};
}

std::size_t OperationQueueCore::count() const {
  std::lock_guard lock(mutex_);
  return order_.size();
}

int OperationQueueCore::maxConcurrent() const {
  std::lock_guard lock(mutex_);
  return maxConcurrent_;
}

void OperationQueueCore::setMaxConcurrent(int count) {
  if (count < OperationQueue::kDefaultMaxConcurrentOperationCount) {
    throw std::invalid_argument("maxConcurrentOperationCount must be -1 or at least 0");
  }
  std::size_t turns = 0;
  {
    std::lock_guard lock(mutex_);
    maxConcurrent_ = count;
    turns = claimTurnsLocked();
  }
  requestTurns(turns);
}

void OperationQueueCore::runTurn() {
  std::shared_ptr<Operation> operation;
  {
    std::lock_guard lock(mutex_);
    --turnsAwaited_;
    operation = takeStartableLocked();
    if (!operation) {
      return;  // what the turn was for finished or was set aside meanwhile
    }
    ++turnsRunning_;
  }
  run(operation);
  operation.reset();
  std::size_t turns = 0;
  {
    std::lock_guard lock(mutex_);
    --turnsRunning_;
    turns = claimTurnsLocked();
  }
  requestTurns(turns);
}

void OperationQueueCore::operationBecameReady(const std::shared_ptr<Operation>& operation) {
  std::size_t turns = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(operation.get());
    // Notices may repeat or come late; only an operation set aside as not ready moves.
    if (it == entries_.end() || it->second.stage != Stage::waiting || !operation->isReady()) {
      return;
    }
    it->second.stage = Stage::ready;
    it->second.inReady = ready_.insert(ready_.end(), operation.get());
    turns = claimTurnsLocked();
  }
  requestTurns(turns);
}

void OperationQueueCore::operationDidFinish(const Operation& operation) {
  std::shared_ptr<Operation> removed;
  std::size_t turns = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(&operation);
    if (it == entries_.end()) {
      return;
    }
    const Entry& entry = it->second;
    if (entry.stage == Stage::started) {
      --started_;
    } else if (entry.stage == Stage::ready) {
      ready_.erase(entry.inReady);
    }
    removed = std::move(*entry.inOrder);
    order_.erase(entry.inOrder);
    entries_.erase(it);
    turns = claimTurnsLocked();
  }
  changed_.notify_all();
  requestTurns(turns);
  // `removed` may be the last reference; it goes here, after unlocking.
}

std::shared_ptr<Operation> OperationQueueCore::takeStartableLocked() {
  while (!ready_.empty()) {
    if (maxConcurrent_ >= 0 && started_ >= static_cast<std::size_t>(maxConcurrent_)) {
      return nullptr;
    }
    Operation* candidate = ready_.front();
    ready_.pop_front();
    Entry& entry = entries_.at(candidate);
    // A dependency added after the operation became ready sets it aside until that one finishes.
    if (!candidate->isReady()) {
      entry.stage = Stage::waiting;
      continue;
    }
    entry.stage = Stage::started;
    ++started_;
    candidate->markStarted();
    return *entry.inOrder;
  }
  return nullptr;
}

// Counts the turns to ask for so that every startable operation has one, and books them.
std::size_t OperationQueueCore::claimTurnsLocked() {
  std::size_t startable = ready_.size();
  if (maxConcurrent_ >= 0) {
    const auto limit = static_cast<std::size_t>(maxConcurrent_);
    startable = std::min(startable, limit > started_ ? limit - started_ : 0);
  }
  if (onMainQueue_) {
    // One turn at a time, one operation per main-queue block, so that other main-queue work
    // interleaves with a long run of operations.
    startable = std::min<std::size_t>(startable, turnsRunning_ == 0 ? 1 : 0);
  }
  if (startable <= turnsAwaited_) {
    return 0;
  }
  const std::size_t turns = startable - turnsAwaited_;
  turnsAwaited_ += turns;
  return turns;
}

void OperationQueueCore::requestTurns(std::size_t count) {
  if (count == 0) {
    return;
  }
  if (!onMainQueue_) {
    WorkerPool::shared().request(shared_from_this(), count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    mainQueue().async([self = shared_from_this()] { self->runTurn(); });
  }
}

void OperationQueueCore::run(const std::shared_ptr<Operation>& operation) {
  RunningQueueScope scope(this);
  try {
    operation->start();
    return;
  } catch (const std::exception& e) {
    systemLog(std::string("[FATEL] exception escaped an operation: ") + e.what());
  } catch (...) {
    systemLog("[FATEL] unknown exception escaped an operation");
  }
  operation->finish();
}

void OperationQueueCore::refuseWaitFromOwnOperation() const {
  if (runningQueue == this || (onMainQueue_ && mainQueue().isCurrent())) {
    throw std::logic_error("an operation queue cannot be waited for from its own operations");
  }
}

}  // namespace detail

OperationQueue::OperationQueue() : core_(std::make_shared<detail::OperationQueueCore>(false)) {}

OperationQueue::OperationQueue(OnMainQueue)
    : core_(std::make_shared<detail::OperationQueueCore>(true)) {}

OperationQueue::~OperationQueue() = default;

std::size_t OperationQueue::workerPoolSize() {
  return std::max<std::size_t>(4,
                               2 * static_cast<std::size_t>(std::thread::hardware_concurrency()));
}

std::size_t OperationQueue::workerPoolCeiling() {
  return std::max<std::size_t>(16,
                               4 * static_cast<std::size_t>(std::thread::hardware_concurrency()));
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
  core_->add({operation});
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& operations,
                                   bool waitUntilFinished) {
  if (waitUntilFinished) {
    core_->refuseWaitFromOwnOperation();
  }
  core_->add(operations);
  if (waitUntilFinished) {
    core_->waitUntilFinished(operations);
  }
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
  core_->add({BlockOperation::create(std::move(block))});
}

void OperationQueue::cancelAllOperations() {
  for (const auto& operation : core_->snapshot()) {
    operation->cancel();
  }
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
  return core_->snapshot();
}

std::size_t OperationQueue::operationCount() const { return core_->count(); }

void OperationQueue::waitUntilAllOperationsAreFinished() { core_->waitUntilEmpty(); }

int OperationQueue::maxConcurrentOperationCount() const { return core_->maxConcurrent(); }

void OperationQueue::setMaxConcurrentOperationCount(int count) { core_->setMaxConcurrent(count); }

OperationQueue& mainOperationQueue() {
  // Leaked on purpose, like the main queue it runs on.
  static auto* queue = new OperationQueue(OperationQueue::OnMainQueue{});
  return *queue;
}

}  // namespace tq
