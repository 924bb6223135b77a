// URLSessionCore: the engine behind one URLSession: its network thread, which drives every
// transfer through one libcurl multi handle, its delegate queue, and its outstanding tasks.
//
// Internal to Platform/. Threads:
// - Any thread makes tasks and calls start(), cancel(), allow(), drained(): these only record a
//   command and wake the network thread; they never wait for it.
// - The network thread alone touches curl handles and transfers. It never waits for the
//   delegate queue, so a delegate event may start or cancel tasks, and the session may be
//   destroyed from the delegate queue.
// - Events reach the delegate through the serial delegate queue. Each event holds the session
//   only weakly and is dropped once the session is gone; a cancelled task's events other than its
//   completion are dropped when they come to run.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "QuenlarCloudAPI/Platform/CurlHandle.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/HTTPURLResponse.h"
#include "QuenlarCloudAPI/Platform/URLError.h"
#include "QuenlarCloudAPI/Platform/URLSessionConfiguration.h"
#include "QuenlarCloudAPI/Platform/URLSessionDelegate.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

namespace tq {
class URLSession;
}

namespace tq::detail {

class URLSessionTransfer;

class URLSessionCore : public std::enable_shared_from_this<URLSessionCore> {
 public:
  // Undelivered body bytes of one task above which its transfer stops reading, and below which it
  // reads again.
  static constexpr int64_t kBackpressureHigh = int64_t{4} << 20;
  static constexpr int64_t kBackpressureLow = int64_t{1} << 20;

  URLSessionCore(URLSessionConfiguration configuration, std::weak_ptr<URLSessionDelegate> delegate);
  ~URLSessionCore();
  URLSessionCore(const URLSessionCore&) = delete;
  URLSessionCore& operator=(const URLSessionCore&) = delete;

  // Starts the network thread; `owner` is the session that delegate events name. False when the
  // engine could not be set up (tasks then fail when they start).
  bool launch(std::weak_ptr<URLSession> owner);
  // Drops every transfer and outstanding task without further events and joins the network
  // thread. Idempotent.
  void shutdown();

  const URLSessionConfiguration& configuration() const { return configuration_; }
  std::shared_ptr<URLSessionDelegate> delegate() const { return delegate_.lock(); }
  DispatchQueue& delegateQueue() const { return *delegateQueue_; }

  std::shared_ptr<URLSessionDataTask> makeDataTask(URLRequest request);
  std::shared_ptr<URLSessionDownloadTask> makeDownloadTask(URLRequest request);
  std::shared_ptr<URLSessionUploadTask> makeUploadTask(URLRequest request, URL file);
  void getAllTasks(std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> handler);

  // Any thread.
  void start(const std::shared_ptr<URLSessionTask>& task);
  void cancel(const std::shared_ptr<URLSessionTask>& task);

  // Network thread: the events of a transfer, in the order the delegate gets them.
  void postSent(const std::shared_ptr<URLSessionTask>& task, int64_t sent, int64_t total,
                int64_t expected);
  // Holds the body back until the delegate answers the response's disposition; the transfer
  // reads on meanwhile, within the back-pressure bound.
  void postResponse(const std::shared_ptr<URLSessionTask>& task,
                    std::shared_ptr<const HTTPURLResponse> response);
  void postData(const std::shared_ptr<URLSessionTask>& task, std::string piece);
  void postWritten(const std::shared_ptr<URLSessionTask>& task, int64_t written, int64_t total,
                   int64_t expected);
  // Hands the finished download file to the delegate queue, which removes it after the event.
  void postDownloaded(const std::shared_ptr<URLSessionTask>& task, std::string path);
  // Delivers the task's completion unless it already has one coming (any thread).
  void complete(const std::shared_ptr<URLSessionTask>& task, std::optional<URLError> error);
  // The transfer is over: completes the task, or keeps the outcome until the delegate allows the
  // response (network thread).
  void transferEnded(const std::shared_ptr<URLSessionTask>& task, std::optional<URLError> outcome);

 private:
  struct Command {
    // CompleteHeld delivers the outcome kept while the response awaited its disposition, when
    // the body pieces it must follow may still sit in the outbox.
    enum class Kind { Start, Cancel, Drained, CompleteHeld };
    Kind kind;
    std::shared_ptr<URLSessionTask> task;
    std::optional<URLError> outcome = std::nullopt;
  };

  void enqueue(Command command);
  // Hands an event to the delegate queue: from the network thread through the outbox, from any
  // other thread at once.
  void post(Block event);
  // Network thread: hands the events gathered in this turn of the loop over as one block, so a
  // burst of events wakes the delegate queue once.
  void flushOutbox();
  bool onNetworkThread() const;
  Block backgroundEventsFinished() const;
  // The delegate let the response's body through (any thread).
  void allow(const std::shared_ptr<URLSessionTask>& task);
  // `size` bytes of the task's body left the delegate queue's hands (delivered or dropped).
  static void settle(const std::weak_ptr<URLSessionCore>& core,
                     const std::shared_ptr<URLSessionTask>& task, size_t size);
  void deliverCompletion(const std::shared_ptr<URLSessionTask>& task,
                         std::optional<URLError> error);
  template <typename Deliver>
  void postEvent(const std::shared_ptr<URLSessionTask>& task, Deliver deliver);

  // Network thread.
  void run();
  void handle(const Command& command);
  // Starts the task's transfer, or lines it up behind the host's busy connections.
  void admit(const std::shared_ptr<URLSessionTask>& task);
  // False when the task ended at once (cancelled, or its request cannot be sent).
  bool startTransfer(const std::shared_ptr<URLSessionTask>& task, const std::string& hostKey);
  void collectFinished();
  // Drops the task's transfer and lets the next task waiting for its host start.
  void endTransfer(uint64_t identifier);
  void teardown();

  const URLSessionConfiguration configuration_;
  const std::weak_ptr<URLSessionDelegate> delegate_;
  const std::shared_ptr<SerialQueue> delegateQueue_;
  std::weak_ptr<URLSession> owner_;
  CurlMulti multi_;
  std::thread thread_;

  std::mutex mutex_;
  std::vector<Command> commands_;
  std::map<uint64_t, std::shared_ptr<URLSessionTask>> outstanding_;
  uint64_t nextIdentifier_ = 1;
  bool running_ = false;
  bool stopping_ = false;
  bool sleeping_ = false;     // the network thread waits in curl_multi_poll, or is about to
  bool wakePending_ = false;  // a wake-up is on its way to the network thread

  // Network thread only. libcurl sees at most HTTPMaximumConnectionsPerHost() transfers per host
  // (it walks every transfer it holds at each step, so thousands of queued ones would cost dear);
  // the rest wait here in the order they were resumed.
  struct HostLine {
    int active = 0;
    std::deque<std::shared_ptr<URLSessionTask>> waiting;
  };
  std::unordered_map<uint64_t, std::unique_ptr<URLSessionTransfer>> transfers_;
  std::unordered_map<std::string, HostLine> hosts_;
  std::string hostKeyScratch_;
  // Easy handles of finished data transfers, kept for the next ones, so that a small request
  // does not pay for making and tearing down a handle's state.
  std::vector<CurlEasy> idleHandles_;
  std::vector<Block> outbox_;
  // How many outboxes the network thread has handed to the delegate queue (counted under mutex_):
  // once it has moved past the count a held outcome was recorded with, every event posted before
  // that outcome is queued.
  std::atomic<uint64_t> handOvers_{0};
  // Tasks whose completion is in the outbox: they leave the outstanding list when it is handed
  // over, so the list and the delegate queue agree on what has completed.
  std::vector<uint64_t> outboxCompletions_;
};

}  // namespace tq::detail
