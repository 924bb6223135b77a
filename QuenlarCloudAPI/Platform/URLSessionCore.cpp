#include "QuenlarCloudAPI/Platform/URLSessionCore.h"

#include <array>
#include <atomic>
#include <charconv>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "QuenlarCloudAPI/Platform/URLSessionTransfer.h"

namespace tq::detail {
namespace {

// How long the network thread sleeps when nothing happens; any command wakes it at once.
constexpr int kIdlePollMilliseconds = 1000;

// Idle connections kept, per connection a host may have: room for a few hosts at full width.
constexpr int kIdleConnectionsPerHostSlot = 4;

// The engine whose network thread is the calling thread, if any.
thread_local const URLSessionCore* networkThreadOf = nullptr;

// Runs one event of a handed-over batch; like a queue's block, a throwing event is logged and the
// next one still runs.
void runEvent(const Block& event) {
  try {
    event();
  } catch (const std::exception& e) {
    systemLog(std::string("[FATEL] exception escaped a URL session delegate event: ") + e.what());
  } catch (...) {
    systemLog("[FATEL] unknown exception escaped a URL session delegate event");
  }
}

// Tasks to the same scheme, host and port share the host's connections. Written into `key`, whose
// storage is reused from task to task.
void hostKey(const URLSessionTask& task, std::string& key) {
  key.clear();
  const auto& url = task.originalRequest().url();
  if (!url) {
    return;
  }
  const int port = url->port().value_or(url->scheme() == "https" ? 443 : 80);
  std::array<char, 16> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), port).ptr;
  key.append(url->scheme()).append("://").append(url->host()).append(":");
  key.append(digits.data(), end);
}

std::shared_ptr<URLSessionDataTask> asDataTask(const std::shared_ptr<URLSessionTask>& task) {
  return std::static_pointer_cast<URLSessionDataTask>(task);
}

std::shared_ptr<URLSessionDownloadTask> asDownloadTask(
    const std::shared_ptr<URLSessionTask>& task) {
  return std::static_pointer_cast<URLSessionDownloadTask>(task);
}

void logException(const char* where) {
  try {
    throw;
  } catch (const std::exception& e) {
    systemLog(std::string("[FATEL] URL session network thread, ") + where + ": " + e.what());
  } catch (...) {
    systemLog(std::string("[FATEL] URL session network thread, ") + where + ": unknown exception");
  }
}

}  // namespace

URLSessionCore::URLSessionCore(URLSessionConfiguration configuration,
                               std::weak_ptr<URLSessionDelegate> delegate)
    : configuration_(std::move(configuration)),
      delegate_(std::move(delegate)),
      delegateQueue_(SerialQueue::create("tq.urlsession.delegate")) {}

URLSessionCore::~URLSessionCore() { shutdown(); }

bool URLSessionCore::launch(std::weak_ptr<URLSession> owner) {
  curlGlobalInit();
  owner_ = std::move(owner);
  multi_.reset(curl_multi_init());
  if (!multi_) {
    systemLog("[FATEL] URL session: libcurl could not make a multi handle");
    return false;
  }
  curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS,
                    static_cast<long>(configuration_.HTTPMaximumConnectionsPerHost()));
  // Left to itself, curl keeps four idle connections per transfer it holds: between two bursts,
  // or when the delegate starts the next request from a completion, it would close connections
  // that the next moment has to open again.
  curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS,
                    static_cast<long>(kIdleConnectionsPerHostSlot *
                                      configuration_.HTTPMaximumConnectionsPerHost()));
  std::lock_guard lock(mutex_);
  running_ = true;
  thread_ = std::thread([this] { run(); });
  return true;
}

void URLSessionCore::shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) {
      return;
    }
    stopping_ = true;
    if (running_) {
      curl_multi_wakeup(multi_.get());
    }
  }
  if (!thread_.joinable()) {
    return;
  }
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

std::shared_ptr<URLSessionDataTask> URLSessionCore::makeDataTask(URLRequest request) {
  std::lock_guard lock(mutex_);
  auto task = std::make_shared<URLSessionDataTask>(TaskKey(), nextIdentifier_++, std::move(request),
                                                   weak_from_this());
  outstanding_.emplace(task->taskIdentifier(), task);
  return task;
}

std::shared_ptr<URLSessionDownloadTask> URLSessionCore::makeDownloadTask(URLRequest request) {
  std::lock_guard lock(mutex_);
  auto task = std::make_shared<URLSessionDownloadTask>(TaskKey(), nextIdentifier_++,
                                                       std::move(request), weak_from_this());
  outstanding_.emplace(task->taskIdentifier(), task);
  return task;
}

std::shared_ptr<URLSessionUploadTask> URLSessionCore::makeUploadTask(URLRequest request, URL file) {
  std::lock_guard lock(mutex_);
  auto task = std::make_shared<URLSessionUploadTask>(
      TaskKey(), nextIdentifier_++, std::move(request), std::move(file), weak_from_this());
  outstanding_.emplace(task->taskIdentifier(), task);
  return task;
}

void URLSessionCore::getAllTasks(
    std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> handler) {
  if (!handler) {
    return;
  }
  delegateQueue_->async([self = shared_from_this(), handler = std::move(handler)] {
    std::vector<std::shared_ptr<URLSessionTask>> tasks;
    {
      std::lock_guard lock(self->mutex_);
      tasks.reserve(self->outstanding_.size());
      for (const auto& entry : self->outstanding_) {
        tasks.push_back(entry.second);
      }
    }
    handler(std::move(tasks));
  });
}

void URLSessionCore::enqueue(Command command) {
  std::lock_guard lock(mutex_);
  if (stopping_ || !running_) {
    return;
  }
  commands_.push_back(std::move(command));
  // A busy network thread looks for commands before it sleeps, so only a sleeping one needs the
  // (costly) wake-up.
  if (sleeping_ && !wakePending_) {
    wakePending_ = true;
    curl_multi_wakeup(multi_.get());
  }
}

void URLSessionCore::start(const std::shared_ptr<URLSessionTask>& task) {
  bool accepted = false;
  {
    std::lock_guard lock(mutex_);
    accepted = running_ && !stopping_;
  }
  if (!accepted) {
    complete(task, URLError(URLError::Unknown, "The URL session is not running."));
    return;
  }
  enqueue({Command::Kind::Start, task});
}

void URLSessionCore::cancel(const std::shared_ptr<URLSessionTask>& task) {
  if (!task->decideCompletion(true)) {
    return;
  }
  deliverCompletion(task, URLError(URLError::Cancelled));
  enqueue({Command::Kind::Cancel, task});
}

void URLSessionCore::complete(const std::shared_ptr<URLSessionTask>& task,
                              std::optional<URLError> error) {
  if (task->decideCompletion(false)) {
    deliverCompletion(task, std::move(error));
  }
}

void URLSessionCore::deliverCompletion(const std::shared_ptr<URLSessionTask>& task,
                                       std::optional<URLError> error) {
  Block event = [owner = owner_, delegate = delegate_, task, error = std::move(error)] {
    task->deferredPieces_.clear();  // pieces a cancelled task never let through
    task->markCompleted();
    auto session = owner.lock();
    auto receiver = delegate.lock();
    if (session && receiver) {
      receiver->didCompleteWithError(*session, task, error);
    }
  };
  if (onNetworkThread()) {
    outbox_.push_back(std::move(event));
    outboxCompletions_.push_back(task->taskIdentifier());
    return;
  }
  // Under the lock, so that the completions and the end of the background session's work reach
  // the delegate queue in the order the list of outstanding tasks changed.
  std::lock_guard lock(mutex_);
  outstanding_.erase(task->taskIdentifier());
  delegateQueue_->async(std::move(event));
  if (configuration_.identifier() && outstanding_.empty()) {
    delegateQueue_->async(backgroundEventsFinished());
  }
}

Block URLSessionCore::backgroundEventsFinished() const {
  return [owner = owner_, delegate = delegate_] {
    auto session = owner.lock();
    auto receiver = delegate.lock();
    if (session && receiver) {
      receiver->didFinishEventsForBackgroundURLSession(*session);
    }
  };
}

bool URLSessionCore::onNetworkThread() const { return networkThreadOf == this; }

void URLSessionCore::post(Block event) {
  if (onNetworkThread()) {
    outbox_.push_back(std::move(event));
  } else {
    delegateQueue_->async(std::move(event));
  }
}

void URLSessionCore::flushOutbox() {
  if (outbox_.empty()) {
    return;
  }
  std::vector<Block> events;
  events.swap(outbox_);
  std::lock_guard lock(mutex_);
  for (const uint64_t identifier : outboxCompletions_) {
    outstanding_.erase(identifier);
  }
  delegateQueue_->async([events = std::move(events)] {
    for (const auto& event : events) {
      runEvent(event);
    }
  });
  handOvers_.fetch_add(1, std::memory_order_relaxed);
  if (configuration_.identifier() && !outboxCompletions_.empty() && outstanding_.empty()) {
    delegateQueue_->async(backgroundEventsFinished());
  }
  outboxCompletions_.clear();
}

template <typename Deliver>
void URLSessionCore::postEvent(const std::shared_ptr<URLSessionTask>& task, Deliver deliver) {
  post([owner = owner_, delegate = delegate_, task, deliver = std::move(deliver)] {
    if (task->cancelled_) {
      return;
    }
    auto session = owner.lock();
    auto receiver = delegate.lock();
    if (session && receiver) {
      deliver(*session, *receiver);
    }
  });
}

void URLSessionCore::postSent(const std::shared_ptr<URLSessionTask>& task, int64_t sent,
                              int64_t total, int64_t expected) {
  postEvent(task, [task, sent, total, expected](URLSession& session, URLSessionDelegate& receiver) {
    receiver.didSendBodyData(session, task, sent, total, expected);
  });
}

void URLSessionCore::postResponse(const std::shared_ptr<URLSessionTask>& task,
                                  std::shared_ptr<const HTTPURLResponse> response) {
  {
    std::lock_guard lock(task->mutex_);
    task->disposition_ = URLSessionTask::Disposition::Pending;
  }
  auto answered = std::make_shared<std::atomic<bool>>(false);
  std::function<void(URLSessionResponseDisposition)> handler =
      [core = weak_from_this(), task, answered](URLSessionResponseDisposition disposition) {
        if (answered->exchange(true)) {
          return;
        }
        if (disposition != URLSessionResponseDisposition::Allow) {
          task->cancel();
        } else if (auto self = core.lock()) {
          self->allow(task);
        }
      };
  post([owner = owner_, delegate = delegate_, task, response = std::move(response),
        handler = std::move(handler)] {
    if (task->cancelled_) {
      return;
    }
    auto session = owner.lock();
    if (!session) {
      return;
    }
    if (auto receiver = delegate.lock()) {
      receiver->didReceiveResponse(*session, asDataTask(task), response, handler);
    } else {
      handler(URLSessionResponseDisposition::Allow);
    }
  });
}

void URLSessionCore::allow(const std::shared_ptr<URLSessionTask>& task) {
  std::optional<std::optional<URLError>> held;
  uint64_t heldAt = 0;
  {
    std::lock_guard lock(task->mutex_);
    if (task->disposition_ != URLSessionTask::Disposition::Pending) {
      return;
    }
    task->disposition_ = URLSessionTask::Disposition::Allowed;
    held.swap(task->heldOutcome_);
    heldAt = task->heldAtHandOver_;
    // Queued under the task's lock: a completion that the network thread posts once it sees the
    // task allowed lands behind the pieces this releases.
    delegateQueue_->async([core = weak_from_this(), owner = owner_, delegate = delegate_, task] {
      task->deliveryOpen_ = true;
      auto pieces = std::move(task->deferredPieces_);
      task->deferredPieces_.clear();
      for (const auto& piece : pieces) {
        settle(core, task, piece.size());
        if (task->cancelled_) {
          continue;
        }
        auto session = owner.lock();
        auto receiver = delegate.lock();
        if (session && receiver) {
          receiver->didReceiveData(*session, asDataTask(task), piece);
        }
      }
    });
  }
  if (!held) {
    return;
  }
  bool piecesQueued = false;
  {
    // Under the lock that the hand-over holds, so that a delegate queue already running that very
    // hand-over sees it counted.
    std::lock_guard lock(mutex_);
    piecesQueued = handOvers_.load(std::memory_order_relaxed) > heldAt;
  }
  if (piecesQueued) {
    // The body pieces are queued already: the completion can follow them straight away, without
    // another round through the network thread.
    complete(task, std::move(*held));
  } else {
    enqueue({Command::Kind::CompleteHeld, task, std::move(*held)});
  }
}

void URLSessionCore::transferEnded(const std::shared_ptr<URLSessionTask>& task,
                                   std::optional<URLError> outcome) {
  {
    std::lock_guard lock(task->mutex_);
    if (task->disposition_ == URLSessionTask::Disposition::Pending) {
      task->heldOutcome_ = std::move(outcome);
      task->heldAtHandOver_ = handOvers_.load(std::memory_order_relaxed);
      return;
    }
  }
  complete(task, std::move(outcome));
}

void URLSessionCore::settle(const std::weak_ptr<URLSessionCore>& core,
                            const std::shared_ptr<URLSessionTask>& task, size_t size) {
  const auto bytes = static_cast<int64_t>(size);
  const int64_t left = task->queuedBytes_.fetch_sub(bytes) - bytes;
  if (left < kBackpressureLow && task->pausedForBackpressure_.exchange(false)) {
    if (auto self = core.lock()) {
      self->enqueue({Command::Kind::Drained, task});
    }
  }
}

void URLSessionCore::postData(const std::shared_ptr<URLSessionTask>& task, std::string piece) {
  post([core = weak_from_this(), owner = owner_, delegate = delegate_, task,
        piece = std::move(piece)]() mutable {
    if (task->cancelled_) {
      settle(core, task, piece.size());
      return;
    }
    if (!task->deliveryOpen_) {
      // The response's disposition has not let the body through yet; the pieces still count
      // against the back-pressure bound until they are delivered.
      task->deferredPieces_.push_back(std::move(piece));
      return;
    }
    settle(core, task, piece.size());
    auto session = owner.lock();
    auto receiver = delegate.lock();
    if (session && receiver) {
      receiver->didReceiveData(*session, asDataTask(task), piece);
    }
  });
}

void URLSessionCore::postWritten(const std::shared_ptr<URLSessionTask>& task, int64_t written,
                                 int64_t total, int64_t expected) {
  postEvent(task,
            [task, written, total, expected](URLSession& session, URLSessionDelegate& receiver) {
              receiver.didWriteData(session, asDownloadTask(task), written, total, expected);
            });
}

void URLSessionCore::postDownloaded(const std::shared_ptr<URLSessionTask>& task, std::string path) {
  post([owner = owner_, delegate = delegate_, task, path = std::move(path)] {
    struct RemoveOnExit {
      const std::string& path;
      ~RemoveOnExit() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
      }
    } remove{path};
    if (task->cancelled_) {
      return;
    }
    auto session = owner.lock();
    auto receiver = delegate.lock();
    if (session && receiver) {
      receiver->didFinishDownloadingToURL(*session, asDownloadTask(task),
                                          URL::fileURLWithPath(path));
    }
  });
}

void URLSessionCore::run() {
  networkThreadOf = this;
  std::vector<Command> commands;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) {
        break;
      }
      commands.swap(commands_);
    }
    for (const auto& command : commands) {
      try {
        handle(command);
      } catch (...) {
        logException("handling a command");
      }
    }
    commands.clear();
    try {
      int running = 0;
      curl_multi_perform(multi_.get(), &running);
      collectFinished();
    } catch (...) {
      logException("driving transfers");
    }
    flushOutbox();
    {
      std::lock_guard lock(mutex_);
      if (!commands_.empty() || stopping_) {
        continue;
      }
      sleeping_ = true;
    }
    curl_multi_poll(multi_.get(), nullptr, 0, kIdlePollMilliseconds, nullptr);
    std::lock_guard lock(mutex_);
    sleeping_ = false;
    wakePending_ = false;
  }
  teardown();
}

void URLSessionCore::handle(const Command& command) {
  const uint64_t identifier = command.task->taskIdentifier();
  if (command.kind == Command::Kind::Start) {
    admit(command.task);
    return;
  }
  if (command.kind == Command::Kind::CompleteHeld) {
    complete(command.task, command.outcome);
    return;
  }
  const auto found = transfers_.find(identifier);
  if (found == transfers_.end()) {
    return;  // a task still waiting for its host is skipped when its turn comes
  }
  switch (command.kind) {
    case Command::Kind::Cancel:
      endTransfer(identifier);
      break;
    case Command::Kind::Drained:
      found->second->drained();
      break;
    case Command::Kind::Start:
    case Command::Kind::CompleteHeld:
      break;
  }
}

void URLSessionCore::admit(const std::shared_ptr<URLSessionTask>& task) {
  hostKey(*task, hostKeyScratch_);
  auto host = hosts_.find(hostKeyScratch_);
  if (host == hosts_.end()) {
    host = hosts_.emplace(hostKeyScratch_, HostLine()).first;
  }
  HostLine& line = host->second;
  if (line.active < configuration_.HTTPMaximumConnectionsPerHost()) {
    if (startTransfer(task, host->first)) {
      ++line.active;
    } else if (line.active == 0 && line.waiting.empty()) {
      hosts_.erase(host);
    }
  } else {
    line.waiting.push_back(task);
  }
}

bool URLSessionCore::startTransfer(const std::shared_ptr<URLSessionTask>& task,
                                   const std::string& key) {
  if (task->isCompletionDecided()) {
    return false;  // cancelled before the network thread got to it
  }
  auto transfer = std::make_unique<URLSessionTransfer>(*this, task);
  CurlEasy reused;
  if (task->kind_ == URLSessionTask::Kind::Data && !idleHandles_.empty()) {
    reused = std::move(idleHandles_.back());
    idleHandles_.pop_back();
  }
  if (auto error = transfer->prepare(std::move(reused))) {
    complete(task, std::move(error));
    return false;
  }
  if (curl_multi_add_handle(multi_.get(), transfer->handle()) != CURLM_OK) {
    complete(task, URLError(URLError::Unknown));
    return false;
  }
  transfer->setAttached(true);
  transfer->setHostKey(key);
  transfers_[task->taskIdentifier()] = std::move(transfer);
  return true;
}

void URLSessionCore::collectFinished() {
  // Gathered first: ending a transfer may start the next one, which libcurl's message loop must
  // not see half-way.
  std::vector<std::pair<URLSessionTransfer*, CURLcode>> finished;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
    if (message->msg != CURLMSG_DONE) {
      continue;
    }
    void* opaque = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &opaque);
    finished.emplace_back(static_cast<URLSessionTransfer*>(opaque), message->data.result);
  }
  for (const auto& [transfer, result] : finished) {
    curl_multi_remove_handle(multi_.get(), transfer->handle());
    transfer->setAttached(false);
    auto outcome = transfer->finish(result);
    const auto task = transfer->task();
    transferEnded(task, std::move(outcome));
    endTransfer(task->taskIdentifier());
  }
}

void URLSessionCore::endTransfer(uint64_t identifier) {
  const auto found = transfers_.find(identifier);
  if (found == transfers_.end()) {
    return;
  }
  if (found->second->attached()) {
    curl_multi_remove_handle(multi_.get(), found->second->handle());
    found->second->setAttached(false);
  }
  if (found->second->handleReusable() &&
      idleHandles_.size() < static_cast<size_t>(configuration_.HTTPMaximumConnectionsPerHost())) {
    idleHandles_.push_back(found->second->releaseHandle());
  }
  // The key lives in the host table, which keeps the entry at least as long as this transfer.
  const std::string& key = found->second->hostKey();
  transfers_.erase(found);
  const auto host = hosts_.find(key);
  if (host == hosts_.end()) {
    return;
  }
  HostLine& line = host->second;
  --line.active;
  while (line.active < configuration_.HTTPMaximumConnectionsPerHost() && !line.waiting.empty()) {
    auto next = std::move(line.waiting.front());
    line.waiting.pop_front();
    if (startTransfer(next, key)) {
      ++line.active;
    }
  }
  if (line.active == 0 && line.waiting.empty()) {
    hosts_.erase(host);
  }
}

void URLSessionCore::teardown() {
  flushOutbox();  // its events go nowhere now, but finished downloads still have files to remove
  std::map<uint64_t, std::shared_ptr<URLSessionTask>> abandoned;
  {
    std::lock_guard lock(mutex_);
    running_ = false;  // from here on nobody wakes the multi handle
    commands_.clear();
    abandoned.swap(outstanding_);
  }
  for (auto& entry : transfers_) {
    if (entry.second->attached()) {
      curl_multi_remove_handle(multi_.get(), entry.second->handle());
      entry.second->setAttached(false);
    }
  }
  transfers_.clear();
  hosts_.clear();
  idleHandles_.clear();
  multi_.reset();
  // Last, so that a task reading Completed means its connections and files are gone.
  for (const auto& entry : abandoned) {
    if (entry.second->decideCompletion(true)) {
      entry.second->markCompleted();
    }
  }
}

}  // namespace tq::detail
