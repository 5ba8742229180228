// The log pipeline: one queue, a single wake per empty-to-busy change, ordering across
// producers, limit requests, termination, and the headless writer that stamps and writes.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "log/core/log_writer.h"
#include "log/core/shown_line.h"
#include "tests/support/calendar_time.h"
#include "tests/support/hang_guard.h"

namespace {

std::tm FixedTime() {
  return CalendarTime(2026, 12, 9, 7, 5, 3);
}
constexpr const char* kFixedStamp = "[2026 / 12 / 09 - 07:05:03] ";

std::vector<std::string> Texts(const std::vector<LogQueue::LogInfo>& lines) {
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(line.Text);
  return texts;
}

// What a writer's output got, in order; a test waits on the count, never on the clock.
class Recorder {
 public:
  void Add(const std::vector<ShownLogLine>& lines) {
    std::lock_guard lock(mutex_);
    for (const ShownLogLine& line : lines) texts_.push_back(line.stamped);
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

TLogWriter::Options RecordInto(Recorder& recorder, Journal* journal = nullptr) {
  return {journal, [&recorder](const auto& lines) { recorder.Add(lines); }, FixedTime};
}

std::string Unstamped(const std::string& line) {
  return line.substr(std::string(kFixedStamp).size());
}

TEST(LogPipeline, ConsumerIsWokenOnceEachTimeTheQueueStopsBeingEmpty) {
  LogQueue log(LogDisplay::All);
  int wakes = 0;
  log.AddLog("before any consumer", 0);
  log.SetWake([&] { ++wakes; });
  EXPECT_EQ(wakes, 1) << "work that waits is announced to a new consumer at once";
  log.AddLog("during the turn", 0);
  EXPECT_EQ(wakes, 1) << "a consumer in its turn is not woken again";

  std::vector<LogQueue::LogInfo> taken;
  EXPECT_EQ(log.TakeLines(taken, 1), 1u);
  EXPECT_TRUE(log.EndTurn()) << "a line is left: the consumer must come back by itself";
  EXPECT_EQ(log.TakeLines(taken, 10), 1u);
  EXPECT_FALSE(log.EndTurn());
  EXPECT_EQ(wakes, 1);

  for (int i = 0; i < 1000; ++i) log.AddLog("burst", 0);
  EXPECT_EQ(wakes, 2) << "a burst after an empty turn is one wake, not one per line";
  log.TakeLines(taken, 5000);
  log.EndTurn();
  log.RequestLimitCheck(0, 10000);
  EXPECT_EQ(wakes, 3) << "a limit request wakes like a line";
  EXPECT_TRUE(log.ServeLimitCheck({}));
  EXPECT_FALSE(log.EndTurn());
  log.SetWake({});
  log.AddLog("nobody listens", 0);
  EXPECT_EQ(wakes, 3);
  EXPECT_EQ(log.QueuedCount(), 1003u);
  EXPECT_EQ(log.TakenCount(), 1002u);
}

// A consumer that takes small chunks while producers keep it from ever emptying the queue, and
// one that takes everything: both get every line once, in order.
TEST(LogPipeline, ChunkedAndWholeTakesKeepOrder) {
  for (const std::size_t chunk : {std::size_t{40}, std::size_t{64}, std::size_t{100000}}) {
    LogQueue log(LogDisplay::All);
    int pushed = 0;
    int expected = 0;
    std::vector<LogQueue::LogInfo> taken;
    for (int round = 0; round < 400; ++round) {
      for (int i = 0; i < 50; ++i) log.AddLog(std::to_string(pushed++), 0);
      log.TakeLines(taken, chunk);
      for (const auto& line : taken) ASSERT_EQ(line.Text, std::to_string(expected++)) << chunk;
    }
    while (log.TakeLines(taken, chunk) > 0) {
      for (const auto& line : taken) ASSERT_EQ(line.Text, std::to_string(expected++)) << chunk;
    }
    EXPECT_EQ(expected, pushed) << chunk;
    EXPECT_EQ(log.QueuedLines(), 0u);
  }
}

TEST(LogPipeline, DisplayModeIsReadAtEveryMessage) {
  LogQueue log(LogDisplay::None);
  log.Write("hidden failure", LogColour::Red, LogLevel::Essential);
  log.SetLogDisplayMode(LogDisplay::Essential);
  log.Write("hidden pass", LogColour::Green, LogLevel::Detail);
  log.Write("shown failure", LogColour::Red, LogLevel::Detail);
  log.SetLogDisplayMode(LogDisplay::All);
  log.Write("shown pass", LogColour::Green, LogLevel::Detail);
  // Hidden lines are not stored at all.
  std::vector<LogQueue::LogInfo> taken;
  log.TakeLines(taken, 100);
  EXPECT_EQ(Texts(taken), (std::vector<std::string>{"shown failure", "shown pass"}));
}

TEST(LogPipeline, LimitRequestWhilePendingIsDroppedAndItsNoticeQueuesAfterTheCheck) {
  LogQueue log(LogDisplay::All);
  std::vector<std::string> events;
  const auto check = [&](std::int32_t sel, std::int32_t rows) {
    EXPECT_TRUE(log.LimitCheckPending()) << "pending until the check has run";
    events.push_back("limit " + std::to_string(sel) + " " + std::to_string(rows));
    log.Write("Clear Log!", LogColour::Orange, LogLevel::Detail);
  };
  log.AddLog("line", 0);
  log.RequestLimitCheck(1, 20000);
  log.RequestLimitCheck(0, 30000);  // dropped: the first one still waits for its consumer
  std::vector<LogQueue::LogInfo> taken;
  log.TakeLines(taken, 100);
  EXPECT_TRUE(log.ServeLimitCheck(check));
  EXPECT_FALSE(log.LimitCheckPending());
  EXPECT_FALSE(log.ServeLimitCheck(check));
  log.RequestLimitCheck(0, 15000);  // the first was served: this one is taken
  EXPECT_TRUE(log.ServeLimitCheck(check));
  EXPECT_EQ(events, (std::vector<std::string>{"limit 1 20000", "limit 0 15000"}));
  EXPECT_EQ(Texts(taken), std::vector<std::string>{"line"});
  log.TakeLines(taken, 100);
  EXPECT_EQ(Texts(taken), (std::vector<std::string>{"Clear Log!", "Clear Log!"}));
}

TEST(LogPipeline, TerminationDropsQueuedAndLaterLinesAndReleasesAFlush) {
  LogQueue log(LogDisplay::All);
  log.AddLog("queued", 0);
  log.Terminate();
  EXPECT_TRUE(log.Terminated());
  log.AddLog("after", 0);
  log.Write("after", LogColour::Red, LogLevel::Essential);
  log.RequestLimitCheck(0, 10000);
  EXPECT_FALSE(log.LimitCheckPending());
  EXPECT_EQ(log.QueuedLines(), 0u);
  Recorder seen;
  TLogWriter writer(log, RecordInto(seen));
  writer.Flush();  // returns: the dropped line is not waited for
  EXPECT_TRUE(seen.Texts().empty());
}

// Each producer's lines keep its order; with the push order made observable by one lock, the
// whole sequence is the queueing order.
TEST(LogPipeline, WriterSeesEveryLineOfEightProducersInQueueingOrder) {
  constexpr int kThreads = 8;
  constexpr int kLines = 5000;
  for (const bool observeOrder : {true, false}) {
    LogQueue log(LogDisplay::All);
    Recorder seen;
    TLogWriter writer(log, RecordInto(seen));
    std::mutex orderMutex;
    std::vector<std::string> pushed;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
      producers.emplace_back([&, t] {
        for (int i = 0; i < kLines; ++i) {
          const std::string text = std::to_string(t) + " " + std::to_string(i);
          if (!observeOrder) {
            log.Write(text, LogColour::Black, LogLevel::Detail);
            continue;
          }
          std::lock_guard lock(orderMutex);
          pushed.push_back(text);
          log.Write(text, LogColour::Black, LogLevel::Detail);
        }
      });
    }
    for (auto& p : producers) p.join();
    writer.Flush();
    const std::vector<std::string> texts = seen.Texts();
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const std::string text = Unstamped(texts[i]);
      if (observeOrder) {
        ASSERT_EQ(text, pushed[i]);
      }
      const int t = std::stoi(text);
      ASSERT_EQ(std::stoi(text.substr(text.find(' ') + 1)), next[t]++) << text;
    }
  }
}

TEST(LogPipeline, JournalAndOutputGetTheSameStampedLines) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("zv_log_writer_" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  LogQueue log(LogDisplay::All);
  Journal journal(folder);
  Recorder seen;
  {
    TLogWriter writer(log, RecordInto(seen, &journal));
    for (int i = 0; i < 300; ++i) log.AddLog("line " + std::to_string(i), 0);
    writer.Flush();
    EXPECT_EQ(writer.WrittenLines(), 300u);
  }
  log.AddLog("after the writer", 0);  // stays queued: no consumer
  EXPECT_EQ(log.QueuedLines(), 1u);
  std::ifstream in(journal.FileFor(FixedTime()));
  std::vector<std::string> journaled;
  for (std::string line; std::getline(in, line);) journaled.push_back(line);
  const std::vector<std::string> shown = seen.Texts();
  ASSERT_EQ(shown.size(), 300u);
  EXPECT_EQ(shown.front(), std::string(kFixedStamp) + "line 0");
  EXPECT_EQ(journaled, shown);
  std::filesystem::remove_all(folder);
}

// Writers come and go while a producer pushes: each ends promptly, and every line is written
// once by one of them, in order.
TEST(LogPipeline, WritersReplacedWhileAProducerPushesLoseNoLine) {
  constexpr int kLines = 100000;
  LogQueue log(LogDisplay::All);
  Recorder seen;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < kLines; ++i) log.AddLog(std::to_string(i), 0);
    done.store(true);
  });
  const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
  while (!done.load() && std::chrono::steady_clock::now() < deadline) {
    TLogWriter writer(log, RecordInto(seen));
    std::this_thread::yield();
  }
  if (!done.load()) {
    producer.detach();  // it never ends: fail instead of waiting for it
    FAIL() << "the producer did not finish its lines";
  }
  producer.join();
  TLogWriter last(log, RecordInto(seen));
  last.Flush();
  const std::vector<std::string> texts = seen.Texts();
  ASSERT_EQ(texts.size(), static_cast<std::size_t>(kLines));
  for (int i = 0; i < kLines; ++i) ASSERT_EQ(Unstamped(texts[i]), std::to_string(i));
}

}  // namespace
