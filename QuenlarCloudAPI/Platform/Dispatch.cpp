#include "QuenlarCloudAPI/Platform/Dispatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace tq {
namespace {

thread_local const void* currentQueue = nullptr;

class CurrentQueueScope {
 public:
  explicit CurrentQueueScope(const void* identity) : previous_(currentQueue) {
    currentQueue = identity;
  }
  ~CurrentQueueScope() { currentQueue = previous_; }
  CurrentQueueScope(const CurrentQueueScope&) = delete;
  CurrentQueueScope& operator=(const CurrentQueueScope&) = delete;

 private:
  const void* previous_;
};

// FIFO of blocks shared by the threads that drain it.
struct BlockFifo {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<Block> blocks;
  bool stopping = false;

  void push(Block block) {
    {
      std::lock_guard lock(mutex);
      blocks.push_back(std::move(block));
    }
    ready.notify_one();
  }

  // Waits for the next block; false once stopping and drained.
  bool pop(Block& out) {
    std::unique_lock lock(mutex);
    ready.wait(lock, [this] { return stopping || !blocks.empty(); });
    if (blocks.empty()) {
      return false;
    }
    out = std::move(blocks.front());
    blocks.pop_front();
    return true;
  }

  void stop() {
    {
      std::lock_guard lock(mutex);
      stopping = true;
    }
    ready.notify_all();
  }
};

class GlobalQueue final : public DispatchQueue {
 public:
  GlobalQueue() : DispatchQueue("tq.global") {
    const unsigned count = std::max(16U, 2 * std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) {
      std::thread([this] {
        Block block;
        while (fifo_.pop(block)) {
          perform(block);
          block = nullptr;
        }
      }).detach();
    }
  }

  void async(Block block) override {
    if (block) {
      fifo_.push(std::move(block));
    }
  }

 private:
  BlockFifo fifo_;
};

// The main queue when the host runs it in its own loop.
class ExecutorQueue final : public DispatchQueue {
 public:
  explicit ExecutorQueue(std::function<void(Block)> executor)
      : DispatchQueue("tq.main"), executor_(std::move(executor)) {}

  void async(Block block) override {
    if (block) {
      executor_([this, block = std::move(block)] { perform(block); });
    }
  }

 private:
  std::function<void(Block)> executor_;
};

struct MainQueueSetup {
  std::mutex mutex;
  std::function<void(Block)> executor;
  bool created = false;
};

void runLogged(const std::string& label, const Block& block) {
  try {
    block();
  } catch (const std::exception& e) {
    systemLog("[FATEL] exception escaped a block on queue " + label + ": " + e.what());
  } catch (...) {
    systemLog("[FATEL] unknown exception escaped a block on queue " + label);
  }
}

MainQueueSetup& mainQueueSetup() {
  static auto* setup = new MainQueueSetup;
  return *setup;
}

}  // namespace

void DispatchQueue::sync(Block block) {
  if (!block) {
    return;
  }
  if (isCurrent()) {
    perform(block);
    return;
  }
  std::promise<void> done;
  auto finished = done.get_future();
  // The block's exception is logged before the caller is let go, so that it has happened by the
  // time sync() returns.
  async([&block, &done, &label = label_] {
    runLogged(label, block);
    done.set_value();
  });
  finished.wait();
}

bool DispatchQueue::isCurrent() const { return currentQueue == identity_; }

void DispatchQueue::perform(const void* identity, const std::string& label, const Block& block) {
  CurrentQueueScope scope(identity);
  runLogged(label, block);
}

struct SerialQueue::State {
  BlockFifo fifo;
  std::thread thread;
  std::string label;
};

SerialQueue::SerialQueue(std::string label)
    : DispatchQueue(label), state_(std::make_shared<State>()) {
  state_->label = std::move(label);
  setIdentity(state_.get());
}

std::shared_ptr<SerialQueue> SerialQueue::create(std::string label) {
  std::shared_ptr<SerialQueue> queue(new SerialQueue(std::move(label)));
  // The thread owns the state, so it may outlive the queue object when the last reference to the
  // queue is dropped by one of its own blocks.
  queue->state_->thread = std::thread([state = queue->state_] {
    Block block;
    while (state->fifo.pop(block)) {
      perform(state.get(), state->label, block);
      block = nullptr;
    }
  });
  return queue;
}

SerialQueue::~SerialQueue() {
  // Blocks already submitted still run; they must not touch the queue object itself.
  state_->fifo.stop();
  if (state_->thread.get_id() == std::this_thread::get_id()) {
    state_->thread.detach();
  } else if (state_->thread.joinable()) {
    state_->thread.join();
  }
}

void SerialQueue::async(Block block) {
  if (block) {
    state_->fifo.push(std::move(block));
  }
}

DispatchQueue& mainQueue() {
  static DispatchQueue* queue = []() -> DispatchQueue* {
    auto& setup = mainQueueSetup();
    std::lock_guard lock(setup.mutex);
    setup.created = true;
    if (setup.executor) {
      return new ExecutorQueue(std::move(setup.executor));
    }
    // Leaked on purpose: the main queue lives for the whole process.
    // Held by a static, so that leak checkers see it as still in use.
    static auto* owner = new std::shared_ptr<SerialQueue>(SerialQueue::create("tq.main"));
    return owner->get();
  }();
  return *queue;
}

DispatchQueue& globalQueue() {
  static auto* queue = new GlobalQueue;
  return *queue;
}

bool setMainQueueExecutor(std::function<void(Block)> executor) {
  auto& setup = mainQueueSetup();
  std::lock_guard lock(setup.mutex);
  if (setup.created) {
    return false;
  }
  setup.executor = std::move(executor);
  return true;
}

}  // namespace tq
