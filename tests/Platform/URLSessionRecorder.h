// A URL-session delegate for tests: records every event per task, in order and with the queue it
// ran on, lets a test act inside any event, and wait for completions.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/URLSession.h"
#include "tests/support/TestSupport.h"

namespace urlsessiontest {

struct Progress {
  int64_t step, total, expected;
};

struct TaskRecord {
  std::vector<std::string> events;  // in order; a run of data, sent or written events counts once
  std::string body;
  std::vector<Progress> sent, written;
  std::shared_ptr<const tq::HTTPURLResponse> response;
  std::optional<tq::URLError> error;
  int completions = 0;
  int eventsAfterCompletion = 0;
};

class Recorder : public tq::URLSessionDelegate {
 public:
  using Task = std::shared_ptr<tq::URLSessionTask>;
  using Handler = std::function<void(tq::URLSessionResponseDisposition)>;

  // Runs after each event is recorded: "response", "data", "sent", "written", "downloaded",
  // "complete". `detail` is the data piece or the downloaded file's path.
  std::function<void(tq::URLSession&, const Task&, const std::string& event,
                     const std::string& detail)>
      onEvent;
  // Return false to keep the disposition handler and answer it yourself.
  std::function<bool(const Task&, Handler&)> onResponse;
  std::function<void(tq::URLSession&)> onBackgroundEventsFinished;
  bool keepBodies = true;

  void didReceiveResponse(tq::URLSession& session,
                          const std::shared_ptr<tq::URLSessionDataTask>& task,
                          const std::shared_ptr<const tq::HTTPURLResponse>& response,
                          Handler handler) override {
    note(session, task, "response", "", [&](TaskRecord& r) { r.response = response; });
    if (!onResponse || onResponse(task, handler)) {
      handler(tq::URLSessionResponseDisposition::Allow);
    }
  }
  void didReceiveData(tq::URLSession& session, const std::shared_ptr<tq::URLSessionDataTask>& task,
                      const std::string& data) override {
    note(session, task, "data", data, [&](TaskRecord& r) {
      bodyBytes_ += static_cast<int64_t>(data.size());
      if (keepBodies) {
        r.body += data;
      }
    });
  }
  void didSendBodyData(tq::URLSession& session, const Task& task, int64_t step, int64_t total,
                       int64_t expected) override {
    note(session, task, "sent", "", [&](TaskRecord& r) {
      r.sent.push_back({step, total, expected});
    });
  }
  void didWriteData(tq::URLSession& session,
                    const std::shared_ptr<tq::URLSessionDownloadTask>& task, int64_t step,
                    int64_t total, int64_t expected) override {
    note(session, task, "written", "", [&](TaskRecord& r) {
      r.written.push_back({step, total, expected});
    });
  }
  void didFinishDownloadingToURL(tq::URLSession& session,
                                 const std::shared_ptr<tq::URLSessionDownloadTask>& task,
                                 const tq::URL& location) override {
    note(session, task, "downloaded", location.path(), [](TaskRecord&) {});
  }
  void didCompleteWithError(tq::URLSession& session, const Task& task,
                            const std::optional<tq::URLError>& error) override {
    note(session, task, "complete", "", [&](TaskRecord& r) {
      r.error = error;
      ++r.completions;
    });
    std::lock_guard lock(mutex_);
    ++completed_;
    changed_.notify_all();
  }
  void didFinishEventsForBackgroundURLSession(tq::URLSession& session) override {
    {
      std::lock_guard lock(mutex_);
      ++backgroundEventsFinished_;
      offQueue_ += session.delegateQueue().isCurrent() ? 0 : 1;
    }
    if (onBackgroundEventsFinished) {
      onBackgroundEventsFinished(session);
    }
  }

  bool waitForCompletions(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, testsupport::kTimeout, [&] { return completed_ >= count; });
  }
  TaskRecord record(uint64_t task) const {
    std::lock_guard lock(mutex_);
    const auto found = records_.find(task);
    return found == records_.end() ? TaskRecord{} : found->second;
  }
  int completed() const { return read(completed_); }
  int offQueueEvents() const { return read(offQueue_); }
  int backgroundEventsFinished() const { return read(backgroundEventsFinished_); }
  int64_t bodyBytes() const { return read(bodyBytes_); }

 private:
  template <typename Update>
  void note(tq::URLSession& session, const Task& task, const std::string& event,
            const std::string& detail, Update update) {
    {
      std::lock_guard lock(mutex_);
      offQueue_ += session.delegateQueue().isCurrent() ? 0 : 1;
      auto& r = records_[task->taskIdentifier()];
      r.eventsAfterCompletion += r.completions > 0 ? 1 : 0;
      const bool repeats = event == "data" || event == "sent" || event == "written";
      if (!repeats || r.events.empty() || r.events.back() != event) {
        r.events.push_back(event);
      }
      update(r);
    }
    if (onEvent) {
      onEvent(session, task, event, detail);
    }
  }
  template <typename T>
  T read(const T& value) const {
    std::lock_guard lock(mutex_);
    return value;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint64_t, TaskRecord> records_;
  int completed_ = 0;
  int offQueue_ = 0;
  int backgroundEventsFinished_ = 0;
  int64_t bodyBytes_ = 0;
};

// Drops the caller's reference once the delegate queue has let go of its own, so that the
// session is torn down on the caller's thread rather than on the delegate queue while the test
// goes on to stop the server.
inline void release(std::shared_ptr<tq::URLSession>& session) {
  session->delegateQueue().sync([] {});
  session.reset();
}

// A session with room for 30 connections per host, as the tests that run many tasks at once need.
inline std::shared_ptr<tq::URLSession> makeSession(
    const std::shared_ptr<tq::URLSessionDelegate>& delegate) {
  auto configuration = tq::URLSessionConfiguration::defaultSessionConfiguration();
  configuration.setHTTPMaximumConnectionsPerHost(30);
  return tq::URLSession::sessionWithConfiguration(configuration, delegate);
}

inline tq::URLRequest request(const std::string& url, const std::string& method = "GET") {
  tq::URLRequest request(tq::URL::URLWithString(url));
  request.setHTTPMethod(method);
  return request;
}

}  // namespace urlsessiontest
