#include "serve/admission_queue.h"

#include <algorithm>

AdmissionQueue::AdmissionQueue(std::size_t admitted, std::size_t overflowThreads)
    : admitted_(admitted) {
  Start(overflowPool_, overflowThreads, false);
  for (const std::thread& thread : overflowPool_.threads) overflowIds_.push_back(thread.get_id());
  Start(admittedPool_, admitted, true);
}

AdmissionQueue::~AdmissionQueue() {
  shutdown();
}

void AdmissionQueue::Start(Pool& pool, std::size_t threads, bool admittedPool) {
  for (std::size_t n = 0; n < threads; ++n) {
    pool.threads.emplace_back([this, &pool, admittedPool] { Work(pool, admittedPool); });
  }
}

void AdmissionQueue::enqueue(std::function<void()> connection) {
  if (active_.load() < admitted_) {
    ++active_;
    Post(admittedPool_, std::move(connection));
  } else {
    Post(overflowPool_, std::move(connection));
  }
}

void AdmissionQueue::Post(Pool& pool, std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.jobs.push_back(std::move(job));
  }
  pool.ready.notify_one();
}

void AdmissionQueue::Work(Pool& pool, bool admittedPool) {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(pool.mutex);
      pool.ready.wait(lock, [&] { return pool.ending || !pool.jobs.empty(); });
      if (pool.jobs.empty()) return;  // ending, and every connection served
      job = std::move(pool.jobs.front());
      pool.jobs.pop_front();
    }
    job();
    if (admittedPool) --active_;
  }
}

void AdmissionQueue::End(Pool& pool) {
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.ending = true;
  }
  pool.ready.notify_all();
  for (std::thread& thread : pool.threads) {
    if (thread.joinable()) thread.join();
  }
}

void AdmissionQueue::shutdown() {
  End(admittedPool_);
  End(overflowPool_);
}

bool AdmissionQueue::OnOverflowThread() const {
  return std::find(overflowIds_.begin(), overflowIds_.end(), std::this_thread::get_id()) !=
         overflowIds_.end();
}
