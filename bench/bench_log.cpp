// Log lines per second through AddLogMessage from eight producer threads to the headless writer
// (taken, stamped and handed on in chunks).
#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_util.h"
#include "log/core/log_thread.h"
#include "log/core/log_writer.h"

namespace bench {

namespace {
constexpr int kProducers = 8;
constexpr int kLinesEach = 200000;

// Counts what arrives and checks that each producer's lines come in its order. The colour
// carries the producer's index, the text ends in the line's number.
class OrderChecker {
 public:
  void Take(const std::vector<ShownLogLine>& batch) {
    for (const auto& entry : batch) {
      const std::string& text = entry.stamped;
      int number = -1;
      const auto space = text.rfind(' ');
      std::from_chars(text.data() + space + 1, text.data() + text.size(), number);
      if (entry.colour >= kProducers || number != next_[entry.colour]) {
        ++disorder_;
      } else {
        ++next_[entry.colour];
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
}  // namespace

bool RunLogLines() {
  OrderChecker checker;
  double seconds = 0;
  {
    TLogThread log(LogDisplay::All);
    TLogWriter writer(log, {.output = [&](const auto& batch) { checker.Take(batch); }});
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&log, p] {
        const std::string stem = "Site #" + std::to_string(p + 1) + " - Program Pass ";
        for (int i = 0; i < kLinesEach; ++i) {
          log.AddLogMessage(stem + std::to_string(i), static_cast<std::uint32_t>(p), 0, 0);
        }
      });
    }
    for (auto& producer : producers) producer.join();
    checker.WaitForAll();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const long total = static_cast<long>(kProducers) * kLinesEach;
  const long lost = total - checker.Received();
  const double rate = static_cast<double>(checker.Received()) / seconds;
  Print("LogLines", rate, "lines/s");
  Print("LogLines_lost", static_cast<double>(lost), "lines");
  Print("LogLines_out_of_order", static_cast<double>(checker.Disorder()), "lines");
  return rate >= 100000.0 && lost == 0 && checker.Disorder() == 0;
}

}  // namespace bench
