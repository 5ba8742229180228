// The log queue and its writer thread: ordering across producers, hand-over to a consumer
// thread, limit requests and termination.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/core/log_thread.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 10s;  // far above any honest delay; reached only by a fault

// Lines and limit checks as a consumer saw them, in arrival order.
class Recorder {
 public:
  void Add(const std::string& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  void AddBatch(const std::vector<TLogThread::LogInfo>& batch) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : batch) events_.push_back(entry.Text);
    ++batches_;
    changed_.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return events_.size() >= count; });
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int Batches() {
    std::lock_guard lock(mutex_);
    return batches_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  int batches_ = 0;
};

// Stands in for the UI thread's event queue: work is posted and runs when the test says so.
class FakeUiQueue {
 public:
  void Post(std::function<void()> work) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(work));
    changed_.notify_all();
  }
  bool WaitForPosted() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return !posted_.empty(); });
  }
  void RunPosted() {
    std::deque<std::function<void()>> work;
    {
      std::lock_guard lock(mutex_);
      work.swap(posted_);
    }
    for (auto& w : work) w();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> posted_;
};

// Aborts the test program when a step hangs, so a deadlock fails fast instead of timing out.
class Watchdog {
 public:
  Watchdog()
      : thread_([this] {
          std::unique_lock lock(mutex_);
          if (!done_cv_.wait_for(lock, kPatience, [this] { return done_; })) {
            ADD_FAILURE() << "deadlock";
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_cv_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_cv_;
  bool done_ = false;
  std::thread thread_;
};

TEST(LogThread, EightProducersLoseNothingAndKeepQueueingOrder) {
  constexpr int kThreads = 8;
  constexpr int kLines = 5000;
  TLogThread log(LogDisplay::All);
  Recorder seen;
  log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });

  std::mutex orderMutex;  // makes the push order observable: record and push as one step
  std::vector<std::string> pushed;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string text = "Site #" + std::to_string(t + 1) + " - " + std::to_string(i);
        std::lock_guard lock(orderMutex);
        pushed.push_back(text);
        log.AddLogMessage(text, LogColour::Black, 0, 0);
      }
    });
  }
  for (auto& p : producers) p.join();
  ASSERT_TRUE(seen.WaitFor(kThreads * kLines));
  EXPECT_EQ(seen.Events(), pushed);
}

TEST(LogThread, UnsynchronisedProducersKeepTheirOwnOrder) {
  constexpr int kThreads = 8;
  constexpr int kLines = 10000;
  TLogThread log(LogDisplay::All);
  Recorder seen;
  log.SetOnLogMessage([&](const std::string& text, std::uint32_t) { seen.Add(text); });
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) log.AddLog(std::to_string(t) + " " + std::to_string(i), 0);
    });
  }
  for (auto& p : producers) p.join();
  ASSERT_TRUE(seen.WaitFor(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : seen.Events()) {
    const int t = std::stoi(line);
    ASSERT_EQ(std::stoi(line.substr(line.find(' ') + 1)), next[t]) << line;
    ++next[t];
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
}

TEST(LogThread, DisplayModeIsReadAtEveryMessage) {
  TLogThread log(LogDisplay::None);
  Recorder seen;
  log.AddLogMessage("hidden failure", LogColour::Red, 0, 1);
  log.SetLogDisplayMode(LogDisplay::Essential);
  log.AddLogMessage("hidden pass", LogColour::Green, 1, 0);
  log.AddLogMessage("shown failure", LogColour::Red, 0, 0);
  log.SetLogDisplayMode(LogDisplay::All);
  log.AddLogMessage("shown pass", LogColour::Green, 0, 0);
  // Lines wait in the queue until a consumer is set; hidden lines are not stored at all.
  log.SetOnLogMessage([&](const std::string& text, std::uint32_t) { seen.Add(text); });
  ASSERT_TRUE(seen.WaitFor(2));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(seen.Events(), (std::vector<std::string>{"shown failure", "shown pass"}));
}

TEST(LogThread, ProducersNeverWaitForABlockedConsumer) {
  Watchdog watchdog;  // a writer that kept the queue's lock while it waits would hang here
  TLogThread log(LogDisplay::All);
  FakeUiQueue ui;  // the "UI thread" is busy: nothing posted to it runs for now
  log.SetDispatcher([&](std::function<void()> work) { ui.Post(std::move(work)); });
  Recorder seen;
  log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });
  log.AddLog("first", 0);
  ASSERT_TRUE(ui.WaitForPosted());  // the writer now waits for the UI thread
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10000; ++i) log.AddLog("more", 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  ui.RunPosted();
  ASSERT_TRUE(seen.WaitFor(1));
  for (int i = 0; i < 100 && seen.Events().size() < 10001; ++i) {
    if (ui.WaitForPosted()) ui.RunPosted();
  }
  EXPECT_EQ(seen.Events().size(), 10001u);
  EXPECT_LE(seen.Batches(), 3);  // the 10000 later lines arrive as one batch, not line by line
}

TEST(LogThread, LimitRequestWhilePendingIsDroppedAndServedAfterLines) {
  TLogThread log(LogDisplay::All);
  Recorder seen;
  log.AddLog("line", 0);
  log.RequestLimitCheck(1, 20000);
  log.RequestLimitCheck(0, 30000);  // dropped: the first one still waits for its consumer
  log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });
  log.SetOnLimitCheck([&](std::int32_t sel, std::int32_t rows) {
    seen.Add("limit " + std::to_string(sel) + " " + std::to_string(rows));
  });
  ASSERT_TRUE(seen.WaitFor(2));
  while (log.LimitCheckPending()) std::this_thread::sleep_for(1ms);
  log.RequestLimitCheck(0, 15000);  // the first was served: this one is taken
  ASSERT_TRUE(seen.WaitFor(3));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(seen.Events(), (std::vector<std::string>{"line", "limit 1 20000", "limit 0 15000"}));
}

TEST(LogThread, NoticeLoggedInsideTheLimitCheckArrivesAfterIt) {
  TLogThread log(LogDisplay::All);
  Recorder seen;
  log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });
  log.SetOnLimitCheck([&](std::int32_t, std::int32_t) {
    seen.Add("check");
    log.AddLogMessage("Clear Log!", LogColour::Orange, 0, 0);
  });
  log.RequestLimitCheck(0, 10000);
  ASSERT_TRUE(seen.WaitFor(2));
  EXPECT_EQ(seen.Events(), (std::vector<std::string>{"check", "Clear Log!"}));
}

TEST(LogThread, TerminationDropsLaterMessagesAndEndsPromptly) {
  Recorder seen;
  auto log = std::make_unique<TLogThread>(LogDisplay::All, 10s);  // only a wake ends its wait
  log->SetOnLogMessage([&](const std::string& text, std::uint32_t) { seen.Add(text); });
  log->AddLog("before", 0);
  ASSERT_TRUE(seen.WaitFor(1));
  log->Terminate();
  EXPECT_TRUE(log->Terminated());
  log->AddLog("after", 0);
  log->AddLogMessage("after", LogColour::Red, 0, 1);
  log->SetOnLimitCheck([&](std::int32_t, std::int32_t) { seen.Add("limit"); });
  log->RequestLimitCheck(0, 10000);
  const auto start = std::chrono::steady_clock::now();
  log.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(seen.Events(), std::vector<std::string>{"before"});
}

TEST(LogThread, TerminationFromTheUiThreadNeverDeadlocksWithPostedWork) {
  Watchdog watchdog;
  FakeUiQueue ui;
  Recorder seen;
  {
    TLogThread log(LogDisplay::All);
    log.SetDispatcher([&](std::function<void()> work) { ui.Post(std::move(work)); });
    log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });
    log.SetOnLimitCheck([&](std::int32_t, std::int32_t) { seen.Add("limit"); });
    log.AddLog("queued", 0);
    log.RequestLimitCheck(0, 10000);
    ASSERT_TRUE(ui.WaitForPosted());
    // This thread plays the UI thread: it destroys the pipeline while the writer waits for it.
  }
  ui.RunPosted();  // the cancelled hand-over runs late and must not reach the consumer
  EXPECT_TRUE(seen.Events().empty());
}

TEST(LogThread, ConsumersOnAnotherThreadSeeEveryLineInOrder) {
  FakeUiQueue ui;
  std::atomic<bool> stop{false};
  std::thread uiThread([&] {
    while (!stop.load()) {
      if (ui.WaitForPosted()) ui.RunPosted();
    }
  });
  Recorder seen;
  {
    TLogThread log(LogDisplay::All);
    log.SetDispatcher([&](std::function<void()> work) { ui.Post(std::move(work)); });
    log.SetOnLogBatch([&](const auto& batch) { seen.AddBatch(batch); });
    for (int i = 0; i < 20000; ++i) log.AddLog(std::to_string(i), 0);
    ASSERT_TRUE(seen.WaitFor(20000));
  }
  stop.store(true);
  ui.Post([] {});
  uiThread.join();
  const auto events = seen.Events();
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(events[i], std::to_string(i));
}

}  // namespace
