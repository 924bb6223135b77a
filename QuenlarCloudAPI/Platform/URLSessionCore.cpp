#include "QuenlarCloudAPI/Platform/URLSessionCore.h"

#include <array>
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

// Like a queue's block, a delegate event that throws is logged, and the next event still runs.
void logDelegateException() {
  try {
    throw;
  } catch (const std::exception& e) {
    systemLog(std::string("[FATEL] exception escaped a URL session delegate event: ") + e.what());
  } catch (...) {
    systemLog("[FATEL] unknown exception escaped a URL session delegate event");
  }
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

void removeFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

URLSessionCore::URLSessionCore(URLSessionConfiguration configuration,
                               std::weak_ptr<URLSessionDelegate> delegate,
                               int64_t maximumResponseDataLength)
    : configuration_(std::move(configuration)),
      maximumResponseDataLength_(maximumResponseDataLength),
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

template <typename Task, typename... Arguments>
std::shared_ptr<Task> URLSessionCore::makeTask(Arguments&&... arguments) {
  std::lock_guard lock(tasksMutex_);
  auto task = std::make_shared<Task>(TaskKey(), nextIdentifier_++,
                                     std::forward<Arguments>(arguments)..., weak_from_this());
  outstanding_.emplace_hint(outstanding_.end(), task->taskIdentifier(), task);
  return task;
}

std::shared_ptr<URLSessionDataTask> URLSessionCore::makeDataTask(URLRequest request) {
  return makeTask<URLSessionDataTask>(std::move(request));
}

std::shared_ptr<URLSessionDownloadTask> URLSessionCore::makeDownloadTask(URLRequest request) {
  return makeTask<URLSessionDownloadTask>(std::move(request));
}

std::shared_ptr<URLSessionUploadTask> URLSessionCore::makeUploadTask(URLRequest request, URL file) {
  return makeTask<URLSessionUploadTask>(std::move(request), std::move(file));
}

void URLSessionCore::getAllTasks(
    std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> handler) {
  if (!handler) {
    return;
  }
  delegateQueue_->async([self = shared_from_this(), handler = std::move(handler)] {
    std::vector<std::shared_ptr<URLSessionTask>> tasks;
    {
      std::lock_guard lock(self->tasksMutex_);
      tasks.reserve(self->outstanding_.size());
      for (const auto& entry : self->outstanding_) {
        tasks.push_back(entry.second);
      }
    }
    handler(std::move(tasks));
  });
}

bool URLSessionCore::enqueue(Command command) {
  std::lock_guard lock(mutex_);
  if (stopping_ || !running_) {
    return false;
  }
  commands_.push_back(std::move(command));
  // A busy network thread looks for commands before it sleeps, so only a sleeping one needs the
  // (costly) wake-up.
  if (sleeping_ && !wakePending_) {
    wakePending_ = true;
    curl_multi_wakeup(multi_.get());
  }
  return true;
}

void URLSessionCore::start(const std::shared_ptr<URLSessionTask>& task) {
  if (!enqueue({Command::Kind::Start, task})) {
    post(task, {.error = URLError(URLError::Unknown, "The URL session is not running.")});
  }
}

void URLSessionCore::cancel(const std::shared_ptr<URLSessionTask>& task) {
  if (!task->claimCompletion(true)) {
    return;
  }
  delegateQueue_->async([core = weak_from_this(), task] {
    if (auto self = core.lock()) {
      self->deliverCancelled(task);
    } else {
      task->markCompleted();
    }
  });
  if (task->started()) {
    enqueue({Command::Kind::Cancel, task});
  }
}

bool URLSessionCore::onNetworkThread() const { return networkThreadOf == this; }

void URLSessionCore::post(std::shared_ptr<URLSessionTask> task, URLSessionEvent event) {
  if (onNetworkThread()) {
    outbox_.push_back({std::move(task), std::move(event)});
    return;
  }
  std::vector<URLSessionTaskEvent> single;
  single.push_back({std::move(task), std::move(event)});
  delegateQueue_->async([core = weak_from_this(), events = std::move(single)]() mutable {
    if (auto self = core.lock()) {
      self->deliverAll(events);
    } else {
      discard(events);
    }
  });
}

int64_t URLSessionCore::postResponse(const std::shared_ptr<URLSessionTask>& task, int statusCode,
                                     std::string headerLines) {
  URLSessionEvent event{.kind = URLSessionEvent::Kind::Response,
                        .statusCode = statusCode,
                        .bytes = std::move(headerLines)};
  if (task->kind_ == URLSessionTask::Kind::Download) {
    return takeResponse(task, event)->expectedContentLength();
  }
  post(task, std::move(event));
  return -1;
}

std::shared_ptr<const HTTPURLResponse> URLSessionCore::takeResponse(
    const std::shared_ptr<URLSessionTask>& task, const URLSessionEvent& event) {
  auto response = std::make_shared<const HTTPURLResponse>(
      task->request_.sharedURL(), event.statusCode, parseHeaderLines(event.bytes));
  task->setResponse(response);
  return response;
}

void URLSessionCore::flushOutbox() {
  if (outbox_.empty()) {
    return;
  }
  const size_t size = outbox_.size();
  delegateQueue_->async([core = weak_from_this(), events = std::move(outbox_)]() mutable {
    if (auto self = core.lock()) {
      self->deliverAll(events);
    } else {
      discard(events);
    }
  });
  // A moved-from vector has no room; the next turn likely needs as much as this one.
  outbox_ = {};
  outbox_.reserve(size);
}

void URLSessionCore::deliverAll(std::vector<URLSessionTaskEvent>& events) {
  for (auto& [task, event] : events) {
    deliver(task, event);
  }
  retire();
}

void URLSessionCore::deliver(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event) {
  if (task->cancelled_) {
    drop(task, event);
    return;
  }
  if (task->gate_.isClosed()) {
    task->gate_.park(std::move(event));
    return;
  }
  auto session = owner_.lock();
  if (!session) {
    drop(task, event);
    return;
  }
  auto receiver = delegate_.lock();
  try {
    dispatch(task, event, *session, receiver.get());
  } catch (...) {
    logDelegateException();
  }
}

void URLSessionCore::dispatch(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event,
                              URLSession& session, URLSessionDelegate* receiver) {
  using Kind = URLSessionEvent::Kind;
  switch (event.kind) {
    case Kind::Sent:
      if (receiver) {
        receiver->didSendBodyData(session, task, event.step, event.total, event.expected);
      }
      return;
    case Kind::Response:
      askDisposition(task, event, session, receiver);
      return;
    case Kind::Data:
      settle(task, event.bytes.size());
      if (receiver) {
        receiver->didReceiveData(session, asDataTask(task), event.bytes);
      }
      return;
    case Kind::Written:
      if (receiver) {
        receiver->didWriteData(session, asDownloadTask(task), event.step, event.total,
                               event.expected);
      }
      return;
    case Kind::Downloaded: {
      // The file goes once the delegate has seen it, even when the delegate throws.
      struct RemoveOnExit {
        const std::string& path;
        ~RemoveOnExit() { removeFile(path); }
      } remove{event.bytes};
      if (receiver) {
        receiver->didFinishDownloadingToURL(session, asDownloadTask(task),
                                            URL::fileURLWithPath(event.bytes));
      }
      return;
    }
    case Kind::Complete:
      if (!task->claimCompletion(false)) {
        return;  // cancelled since the transfer ended
      }
      retiring_.push_back(task->taskIdentifier());
      if (receiver) {
        receiver->didCompleteWithError(session, task, event.error);
      }
      return;
  }
}

void URLSessionCore::askDisposition(const std::shared_ptr<URLSessionTask>& task,
                                    const URLSessionEvent& event, URLSession& session,
                                    URLSessionDelegate* receiver) {
  const auto response = takeResponse(task, event);
  if (!receiver) {
    return;  // nobody to ask: the body goes on
  }
  task->gate_.beginAsking();
  try {
    receiver->didReceiveResponse(
        session, asDataTask(task), response,
        [task](URLSessionResponseDisposition disposition) { answer(task, disposition); });
  } catch (...) {
    logDelegateException();
  }
  // An unanswered disposition closes the gate; a refusal has cancelled the task already.
  task->gate_.endAsking();
}

void URLSessionCore::answer(const std::shared_ptr<URLSessionTask>& task,
                            URLSessionResponseDisposition disposition) {
  const bool allow = disposition == URLSessionResponseDisposition::Allow;
  const auto answered = task->gate_.answer(allow);
  if (answered == URLSessionGate::Answer::Ignored) {
    return;
  }
  if (!allow) {
    task->cancel();
    return;
  }
  if (answered == URLSessionGate::Answer::Later) {
    if (auto core = task->core_.lock()) {
      core->delegateQueue_->async([weak = std::weak_ptr<URLSessionCore>(core), task] {
        if (auto self = weak.lock()) {
          self->drainGate(task);
        }
      });
    }
  }
}

void URLSessionCore::drainGate(const std::shared_ptr<URLSessionTask>& task) {
  auto parked = task->gate_.open();
  for (auto& event : parked) {
    deliver(task, event);
  }
  retire();
}

void URLSessionCore::deliverCancelled(const std::shared_ptr<URLSessionTask>& task) {
  auto parked = task->gate_.open();
  for (auto& event : parked) {
    drop(task, event);
  }
  task->markCompleted();
  retiring_.push_back(task->taskIdentifier());
  auto session = owner_.lock();
  auto receiver = delegate_.lock();
  if (session && receiver) {
    try {
      receiver->didCompleteWithError(*session, task, URLError(URLError::Cancelled));
    } catch (...) {
      logDelegateException();
    }
  }
  retire();
}

void URLSessionCore::drop(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event) {
  if (event.kind == URLSessionEvent::Kind::Response) {
    takeResponse(task, event);  // the task answers it all the same
  } else if (event.kind == URLSessionEvent::Kind::Data) {
    settle(task, event.bytes.size());
  } else if (event.kind == URLSessionEvent::Kind::Downloaded) {
    removeFile(event.bytes);
  }
}

void URLSessionCore::settle(const std::shared_ptr<URLSessionTask>& task, size_t size) {
  if (task->backlog_.settle(size)) {
    enqueue({Command::Kind::Drained, task});
  }
}

void URLSessionCore::retire() {
  if (retiring_.empty()) {
    return;
  }
  bool workDone = false;
  {
    std::lock_guard lock(tasksMutex_);
    for (const uint64_t identifier : retiring_) {
      outstanding_.erase(identifier);
    }
    workDone = outstanding_.empty();
  }
  retiring_.clear();
  if (!workDone || !configuration_.identifier()) {
    return;
  }
  auto session = owner_.lock();
  auto receiver = delegate_.lock();
  if (session && receiver) {
    try {
      receiver->didFinishEventsForBackgroundURLSession(*session);
    } catch (...) {
      logDelegateException();
    }
  }
}

void URLSessionCore::discard(std::vector<URLSessionTaskEvent>& events) {
  for (const auto& entry : events) {
    if (entry.event.kind == URLSessionEvent::Kind::Downloaded) {
      removeFile(entry.event.bytes);
    }
  }
}

void URLSessionCore::run() {
  networkThreadOf = this;
  std::vector<Command> commands;
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    commands.swap(commands_);
    lock.unlock();
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
    lock.lock();
    if (!commands_.empty() || stopping_) {
      continue;
    }
    sleeping_ = true;
    lock.unlock();
    curl_multi_poll(multi_.get(), nullptr, 0, kIdlePollMilliseconds, nullptr);
    lock.lock();
    sleeping_ = false;
    wakePending_ = false;
  }
  lock.unlock();
  teardown();
}

void URLSessionCore::handle(const Command& command) {
  if (command.kind == Command::Kind::Start) {
    admit(command.task);
    return;
  }
  const uint64_t identifier = command.task->taskIdentifier();
  const auto found = transfers_.find(identifier);
  if (found == transfers_.end()) {
    return;  // a task still waiting for its host is skipped when its turn comes
  }
  if (command.kind == Command::Kind::Cancel) {
    endTransfer(identifier);
  } else {
    found->second->drained();
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
  if (task->cancelled_) {
    return false;  // cancelled before the network thread got to it
  }
  std::unique_ptr<URLSessionTransfer> transfer;
  if (task->kind_ == URLSessionTask::Kind::Data && !idleTransfers_.empty()) {
    transfer = std::move(idleTransfers_.back());
    idleTransfers_.pop_back();
  } else {
    transfer = std::make_unique<URLSessionTransfer>(*this);
  }
  if (auto error = transfer->begin(task, task->kind_, task->uploadFile_, task->backlog_)) {
    post(task, {.error = std::move(error)});
    return false;
  }
  if (curl_multi_add_handle(multi_.get(), transfer->handle()) != CURLM_OK) {
    post(task, {.error = URLError(URLError::Unknown)});
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
  auto& finished = finishedScratch_;
  finished.clear();
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
    const uint64_t identifier = transfer->task()->taskIdentifier();
    post(transfer->task(), {.error = std::move(outcome)});
    endTransfer(identifier);
  }
}

void URLSessionCore::endTransfer(uint64_t identifier) {
  const auto found = transfers_.find(identifier);
  if (found == transfers_.end()) {
    return;
  }
  std::unique_ptr<URLSessionTransfer> transfer = std::move(found->second);
  transfers_.erase(found);
  if (transfer->attached()) {
    curl_multi_remove_handle(multi_.get(), transfer->handle());
    transfer->setAttached(false);
  }
  // The key lives in the host table, which keeps the entry at least as long as this transfer.
  const std::string& key = transfer->hostKey();
  const auto host = hosts_.find(key);
  const bool reusable = transfer->reusable();
  transfer->end();
  if (reusable &&
      idleTransfers_.size() < static_cast<size_t>(configuration_.HTTPMaximumConnectionsPerHost())) {
    idleTransfers_.push_back(std::move(transfer));
  }
  if (host == hosts_.end()) {
    return;
  }
  HostLine& line = host->second;
  --line.active;
  while (line.active < configuration_.HTTPMaximumConnectionsPerHost() && !line.waiting.empty()) {
    auto next = std::move(line.waiting.front());
    line.waiting.pop_front();
    if (startTransfer(next, host->first)) {
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
  }
  {
    std::lock_guard lock(tasksMutex_);
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
  idleTransfers_.clear();
  multi_.reset();
  // Last, so that a task reading Completed means its connections and files are gone.
  for (const auto& entry : abandoned) {
    if (entry.second->claimCompletion(true)) {
      entry.second->markCompleted();
    }
  }
}

}  // namespace tq::detail
