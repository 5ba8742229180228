// Log lines per second through AddLogMessage from eight producer threads: into the queue with
// a plain batch consumer, and through the headless writer (taken, stamped, handed on).
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_util.h"
#include "log/core/log_queue.h"
#include "log/core/log_writer.h"

namespace bench {

namespace {
constexpr int kProducers = 8;
constexpr int kLinesEach = 200000;

const std::string& TextOf(const LogQueue::LogInfo& line) {
  return line.Text;
}
const std::string& TextOf(const ShownLogLine& line) {
  return line.stamped;
}
std::uint32_t ColourOf(const LogQueue::LogInfo& line) {
  return line.Color;
}
std::uint32_t ColourOf(const ShownLogLine& line) {
  return line.colour;
}

// Counts what arrives and checks that each producer's lines come in its order. The colour
// carries the producer's index, the text ends in the line's number.
class OrderChecker {
 public:
  template <typename Line>
  void Take(const std::vector<Line>& batch) {
    for (const auto& entry : batch) {
      const std::string& text = TextOf(entry);
      const std::uint32_t colour = ColourOf(entry);
      int number = -1;
      const auto space = text.rfind(' ');
      std::from_chars(text.data() + space + 1, text.data() + text.size(), number);
      if (colour >= kProducers || number != next_[colour]) {
        ++disorder_;
      } else {
        ++next_[colour];
      }
    }
    std::lock_guard lock(mutex_);
    received_ += static_cast<long>(batch.size());
    if (received_ >= static_cast<long>(kProducers) * kLinesEach) all_.notify_all();
  }
  bool WaitForAll() {
    std::unique_lock lock(mutex_);
    return all_.wait_for(lock, std::chrono::seconds(60),
                         [&] { return received_ >= static_cast<long>(kProducers) * kLinesEach; });
  }
  long Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  long Disorder() const { return disorder_; }  // read after the writer has stopped

 private:
  std::vector<int> next_ = std::vector<int>(kProducers, 0);
  long disorder_ = 0;
  std::mutex mutex_;
  std::condition_variable all_;
  long received_ = 0;
};

// The cheapest consumer the pipeline allows: a thread that takes every line when woken. The
// figure is the queue's own, as producers see it.
class BatchConsumer {
 public:
  BatchConsumer(LogQueue& log, OrderChecker& checker)
      : log_(log), checker_(checker), thread_([this] { Run(); }) {
    log_.SetWake([this] {
      std::lock_guard lock(mutex_);
      woken_ = true;
      wake_.notify_one();
    });
  }
  ~BatchConsumer() {
    log_.SetWake({});
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  void Run() {
    std::vector<LogQueue::LogInfo> batch;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || woken_; });
        if (stop_) return;
        woken_ = false;
      }
      do {
        while (log_.TakeLines(batch, SIZE_MAX) > 0) checker_.Take(batch);
      } while (log_.EndTurn());
    }
  }

  LogQueue& log_;
  OrderChecker& checker_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  bool stop_ = false;
  std::thread thread_;
};

// Eight producers push kLinesEach lines each; returns lines per second until all have arrived.
double PushAll(LogQueue& log, OrderChecker& checker) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&log, p] {
      const std::string stem = "Site #" + std::to_string(p + 1) + " - Program Pass ";
      for (int i = 0; i < kLinesEach; ++i) {
        log.Write(stem + std::to_string(i), static_cast<std::uint32_t>(p), LogLevel::Detail);
      }
    });
  }
  for (auto& producer : producers) producer.join();
  checker.WaitForAll();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return static_cast<double>(checker.Received()) / seconds;
}
}  // namespace

bool RunLogLines() {
  OrderChecker checker;
  double rate = 0;
  {
    LogQueue log(LogDisplay::All);
    BatchConsumer consumer(log, checker);
    rate = PushAll(log, checker);
  }
  OrderChecker stamped;
  double stampedRate = 0;
  {
    LogQueue log(LogDisplay::All);
    TLogWriter writer(log, {.output = [&](const auto& batch) { stamped.Take(batch); }});
    stampedRate = PushAll(log, stamped);
  }
  const long total = static_cast<long>(kProducers) * kLinesEach;
  const long lost = 2 * total - checker.Received() - stamped.Received();
  const long disorder = checker.Disorder() + stamped.Disorder();
  Print("LogLines", rate, "lines/s");
  Print("LogLines_writer", stampedRate, "lines/s");
  Print("LogLines_lost", static_cast<double>(lost), "lines");
  Print("LogLines_out_of_order", static_cast<double>(disorder), "lines");
  return rate >= 100000.0 && stampedRate >= 100000.0 && lost == 0 && disorder == 0;
}

}  // namespace bench
