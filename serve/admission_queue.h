#pragma once
// The server's connection threads, with a limit: the first `admitted` connections at once each
// get a thread of their own; a connection beyond them is served by a small overflow pool that
// answers every request on it with 503 and lets it go. The accept loop never waits.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

class AdmissionQueue final : public httplib::TaskQueue {
 public:
  AdmissionQueue(std::size_t admitted, std::size_t overflowThreads);
  ~AdmissionQueue() override;

  // Called by the accept loop only (one thread).
  void enqueue(std::function<void()> connection) override;
  void shutdown() override;

  // Whether the calling thread serves a connection beyond the limit.
  bool OnOverflowThread() const;
  std::size_t Active() const { return active_.load(); }

 private:
  struct Pool {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::function<void()>> jobs;
    bool ending = false;
    std::vector<std::thread> threads;
  };
  void Start(Pool& pool, std::size_t threads, bool admittedPool);
  void Work(Pool& pool, bool admittedPool);
  static void Post(Pool& pool, std::function<void()> job);
  static void End(Pool& pool);

  const std::size_t admitted_;
  std::atomic<std::size_t> active_{0};
  Pool admittedPool_;
  Pool overflowPool_;
  std::vector<std::thread::id> overflowIds_;  // fixed once the threads run
};
