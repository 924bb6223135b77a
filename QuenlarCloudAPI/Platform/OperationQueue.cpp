#include "QuenlarCloudAPI/Platform/OperationQueue.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <iterator>
#include <limits>
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

std::size_t defaultWorkerLimit() {
  return std::max<std::size_t>(4,
                               2 * static_cast<std::size_t>(std::thread::hardware_concurrency()));
}

}  // namespace

// The state of a queue, shared by the queue object, its workers and the operations it holds, so
// that it outlives the queue object while work remains.
class OperationQueueCore final : public OperationOwner,
                                 public std::enable_shared_from_this<OperationQueueCore> {
 public:
  explicit OperationQueueCore(bool onMainQueue)
      : onMainQueue_(onMainQueue), workerLimit_(onMainQueue ? 1 : defaultWorkerLimit()) {}

  void add(const std::vector<std::shared_ptr<Operation>>& operations);
  // Throws std::logic_error when the calling thread runs one of this queue's operations.
  void refuseWaitFromOwnOperation() const;
  void waitUntilFinished(const std::vector<std::shared_ptr<Operation>>& operations);
  void waitUntilEmpty();
  std::vector<std::shared_ptr<Operation>> snapshot() const;
  std::size_t count() const;
  int maxConcurrent() const;
  void setMaxConcurrent(int count);

  void operationBecameReady(const std::shared_ptr<Operation>& operation) override;
  void operationDidFinish(const Operation& operation) override;

 private:
  enum class Stage { waiting, ready, started };
  struct Entry {
    Stage stage = Stage::waiting;
    std::list<std::shared_ptr<Operation>>::iterator inOrder;
    std::list<Operation*>::iterator inReady;  // valid in the ready stage only
  };

  std::shared_ptr<Operation> takeStartableLocked();
  std::size_t claimWorkersLocked();
  void launchWorkers(std::size_t count);
  void work(std::size_t maxOperations);
  void run(const std::shared_ptr<Operation>& operation);

  const bool onMainQueue_;
  const std::size_t workerLimit_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::list<std::shared_ptr<Operation>> order_;  // every unfinished operation, in order added
  std::list<Operation*> ready_;                  // ready, not yet started, in order became ready
  std::unordered_map<const Operation*, Entry> entries_;
  std::size_t started_ = 0;  // started by a worker and not finished yet
  std::size_t workers_ = 0;
  std::size_t busyWorkers_ = 0;
  int maxConcurrent_ = OperationQueue::kDefaultMaxConcurrentOperationCount;
};

void OperationQueueCore::add(const std::vector<std::shared_ptr<Operation>>& operations) {
  for (const auto& operation : operations) {
    if (!operation) {
      throw std::invalid_argument("cannot add a null operation to a queue");
    }
  }
  std::size_t launches = 0;
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
    launches = claimWorkersLocked();
  }
  launchWorkers(launches);
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
  std::size_t launches = 0;
  {
    std::lock_guard lock(mutex_);
    maxConcurrent_ = count;
    launches = claimWorkersLocked();
  }
  launchWorkers(launches);
}

void OperationQueueCore::operationBecameReady(const std::shared_ptr<Operation>& operation) {
  std::size_t launches = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(operation.get());
    // Notices may repeat or come late; only an operation set aside as not ready moves.
    if (it == entries_.end() || it->second.stage != Stage::waiting || !operation->isReady()) {
      return;
    }
    it->second.stage = Stage::ready;
    it->second.inReady = ready_.insert(ready_.end(), operation.get());
    launches = claimWorkersLocked();
  }
  launchWorkers(launches);
}

void OperationQueueCore::operationDidFinish(const Operation& operation) {
  std::shared_ptr<Operation> removed;
  std::size_t launches = 0;
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
    launches = claimWorkersLocked();
  }
  changed_.notify_all();
  launchWorkers(launches);
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

// Counts the workers to add so that every startable operation has one, and books them.
std::size_t OperationQueueCore::claimWorkersLocked() {
  std::size_t startable = ready_.size();
  if (maxConcurrent_ >= 0) {
    const auto limit = static_cast<std::size_t>(maxConcurrent_);
    startable = std::min(startable, limit > started_ ? limit - started_ : 0);
  }
  const std::size_t idle = workers_ - busyWorkers_;
  if (startable <= idle || workers_ >= workerLimit_) {
    return 0;
  }
  const std::size_t launches = std::min(startable - idle, workerLimit_ - workers_);
  workers_ += launches;
  return launches;
}

void OperationQueueCore::launchWorkers(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (onMainQueue_) {
      // One operation per main-queue block, so that other main-queue work interleaves.
      mainQueue().async([self = shared_from_this()] { self->work(1); });
      continue;
    }
    try {
      std::thread([self = shared_from_this()] {
        self->work(std::numeric_limits<std::size_t>::max());
      }).detach();
    } catch (const std::system_error& e) {
      systemLog(std::string("[FATEL] operation queue could not start a worker: ") + e.what());
      std::lock_guard lock(mutex_);
      --workers_;
    }
  }
}

void OperationQueueCore::work(std::size_t maxOperations) {
  std::size_t ran = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    std::shared_ptr<Operation> operation;
    if (ran < maxOperations) {
      operation = takeStartableLocked();
    }
    if (!operation) {
      --workers_;
      const std::size_t launches = claimWorkersLocked();
      lock.unlock();
      launchWorkers(launches);
      return;
    }
    ++busyWorkers_;
    lock.unlock();
    run(operation);
    operation.reset();
    ++ran;
    lock.lock();
    --busyWorkers_;
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
