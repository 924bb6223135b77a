// WorkerPool: httplib's thread pool, with every job ordered after the jobs that finished before
// it started.
//
// httplib is a shared library built without ThreadSanitizer. The function-local statics it sets
// up on its first request are seen by the sanitizer only through memcpy and memcmp, so two workers
// reading them look like a race. Here a job that starts after another one finished is ordered
// after it (through one mutex), and the test server warms those statics up with first requests
// before it serves anyone. The pool is thread-safe; the order object outlives it.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace testserver {

class JobOrder {
 public:
  JobOrder() = default;
  JobOrder(const JobOrder&) = delete;
  JobOrder& operator=(const JobOrder&) = delete;

  void begin();
  void end();
  // Waits until n jobs have finished; false on time-out.
  bool waitFinished(size_t n, std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable finished_;
  size_t count_ = 0;
};

class WorkerPool final : public httplib::TaskQueue {
 public:
  WorkerPool(size_t threads, JobOrder& order) : pool_(threads), order_(order) {}
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void enqueue(std::function<void()> job) override;
  void shutdown() override { pool_.shutdown(); }

 private:
  httplib::ThreadPool pool_;
  JobOrder& order_;
};

}  // namespace testserver
