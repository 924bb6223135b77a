// URLSessionCore: the engine behind one URLSession: its network thread, which drives every
// transfer through one libcurl multi handle, its delegate queue, and its outstanding tasks.
//
// Internal to Platform/. Threads:
// - Any thread makes tasks and calls start() and cancel(): these only record a command and wake
//   the network thread; they never wait for it.
// - The network thread alone touches curl handles and transfers. It gathers the events of each
//   turn of its loop in an outbox and hands them to the delegate queue in one block; it never
//   holds an event back and never waits for the delegate queue, so a delegate event may start or
//   cancel tasks, and the session may be destroyed from the delegate queue.
// - On the delegate queue each event goes through its task's gate (parked while a response's
//   disposition is unanswered), then to the delegate. Events hold the session only weakly and
//   are dropped once it is gone; a cancelled task's events other than its completion are dropped.
// - A task's completion is claimed when it reaches the delegate queue, so a cancel that comes
//   first (a response still waiting for its disposition, say) wins over the transfer's outcome.
#pragma once

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
#include "QuenlarCloudAPI/Platform/URLSessionEvent.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

namespace tq {
class URLSession;
}

namespace tq::detail {

class URLSessionTransfer;

class URLSessionCore : public std::enable_shared_from_this<URLSessionCore> {
 public:
  // `maximumResponseDataLength` bounds the body of each data and upload task (URLSession.h).
  URLSessionCore(URLSessionConfiguration configuration, std::weak_ptr<URLSessionDelegate> delegate,
                 int64_t maximumResponseDataLength);
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
  int64_t maximumResponseDataLength() const { return maximumResponseDataLength_; }
  std::shared_ptr<URLSessionDelegate> delegate() const { return delegate_.lock(); }
  DispatchQueue& delegateQueue() const { return *delegateQueue_; }

  std::shared_ptr<URLSessionDataTask> makeDataTask(URLRequest request);
  std::shared_ptr<URLSessionDownloadTask> makeDownloadTask(URLRequest request);
  std::shared_ptr<URLSessionUploadTask> makeUploadTask(URLRequest request, URL file);
  void getAllTasks(std::function<void(std::vector<std::shared_ptr<URLSessionTask>>)> handler);

  // Any thread.
  void start(const std::shared_ptr<URLSessionTask>& task);
  void cancel(const std::shared_ptr<URLSessionTask>& task);

  // Network thread: the next event of a transfer, in the order the delegate gets them.
  void post(std::shared_ptr<URLSessionTask> task, URLSessionEvent event);
  // Network thread: the response's header fields are in (`headerLines` as they arrived). A data
  // or upload task's response is made on the delegate queue, just before the delegate hears of
  // it; a download's is made here, since its progress needs the announced length, which this
  // answers (-1 for the others).
  int64_t postResponse(const std::shared_ptr<URLSessionTask>& task, int statusCode,
                       std::string headerLines);
  // Delegate queue: `size` body bytes of the task left the delegate queue's hands (delivered or
  // dropped); wakes the transfer when it stopped reading for them.
  void settle(const std::shared_ptr<URLSessionTask>& task, size_t size);

 private:
  struct Command {
    enum class Kind { Start, Cancel, Drained };
    Kind kind;
    std::shared_ptr<URLSessionTask> task;
  };

  template <typename Task, typename... Arguments>
  std::shared_ptr<Task> makeTask(Arguments&&... arguments);
  // False when the network thread is not running (or no longer).
  bool enqueue(Command command);
  bool onNetworkThread() const;
  void flushOutbox();

  // Delegate queue: every event of a task goes through deliver(), which drops, parks or
  // dispatches it.
  void deliverAll(std::vector<URLSessionTaskEvent>& events);
  void deliver(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event);
  void dispatch(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event,
                URLSession& session, URLSessionDelegate* receiver);
  void askDisposition(const std::shared_ptr<URLSessionTask>& task, const URLSessionEvent& event,
                      URLSession& session, URLSessionDelegate* receiver);
  // The delegate's answer to a response's disposition (any thread).
  static void answer(const std::shared_ptr<URLSessionTask>& task,
                     URLSessionResponseDisposition disposition);
  // Delegate queue: lets the events that the task's gate held through, in order.
  void drainGate(const std::shared_ptr<URLSessionTask>& task);
  void deliverCancelled(const std::shared_ptr<URLSessionTask>& task);
  void drop(const std::shared_ptr<URLSessionTask>& task, URLSessionEvent& event);
  // Takes the tasks whose completion the delegate has had off the outstanding list, and tells a
  // background session's delegate when none is left.
  void retire();
  // Makes the response of a Response event and lets the task answer it.
  static std::shared_ptr<const HTTPURLResponse> takeResponse(
      const std::shared_ptr<URLSessionTask>& task, const URLSessionEvent& event);
  // Events that reach the delegate queue after the engine is gone: only files need removing.
  static void discard(std::vector<URLSessionTaskEvent>& events);

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
  const int64_t maximumResponseDataLength_;
  const std::weak_ptr<URLSessionDelegate> delegate_;
  const std::shared_ptr<SerialQueue> delegateQueue_;
  std::weak_ptr<URLSession> owner_;
  CurlMulti multi_;
  std::thread thread_;

  // The commands for the network thread, and whether it runs and sleeps.
  std::mutex mutex_;
  std::vector<Command> commands_;
  bool running_ = false;
  bool stopping_ = false;
  bool sleeping_ = false;     // the network thread waits in curl_multi_poll, or is about to
  bool wakePending_ = false;  // a wake-up is on its way to the network thread

  // The tasks made and not yet completed, apart from the commands so that making tasks and
  // retiring them never wait for the network thread.
  std::mutex tasksMutex_;
  std::map<uint64_t, std::shared_ptr<URLSessionTask>> outstanding_;
  uint64_t nextIdentifier_ = 1;

  // Delegate queue only: tasks whose completion the delegate had in the current block.
  std::vector<uint64_t> retiring_;

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
  // Transfers of finished data tasks, kept with their configured easy handles for the next ones,
  // so that a small request pays only for what differs from the one before.
  std::vector<std::unique_ptr<URLSessionTransfer>> idleTransfers_;
  std::vector<URLSessionTaskEvent> outbox_;
  std::vector<std::pair<URLSessionTransfer*, CURLcode>> finishedScratch_;
};

}  // namespace tq::detail
