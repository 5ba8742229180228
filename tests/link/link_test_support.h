#pragma once
// Helpers shared by the link tests: a log that keeps its lines, a fixed clock, a sleep that
// does not wait, and a link table on a given bus.
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/link_table.h"
#include "log/core/log_sink.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "tests/support/calendar_time.h"

struct LoggedLine {
  std::string Text;
  std::uint32_t Colour;
  std::uint8_t Ignored;
  std::uint8_t Essential;
};

class CaptureLog : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(LoggedLine{text, colour, ignored, essential});
  }
  std::vector<LoggedLine> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const LoggedLine& line : Lines()) texts.push_back(line.Text);
    return texts;
  }

 private:
  std::mutex mutex_;
  std::vector<LoggedLine> lines_;
};

inline std::tm FixedTime() {
  return CalendarTime(2024, 5, 17, 9, 30, 15);
}

// Counts the pauses instead of waiting them (a short real pause keeps poll loops from
// spinning hot).
struct SleepLog {
  std::mutex Mutex;
  std::vector<long long> Pauses;
  SleepFunction Function() {
    return [this](std::chrono::milliseconds ms) {
      {
        std::lock_guard lock(Mutex);
        Pauses.push_back(ms.count());
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
  }
  std::size_t Count(long long ms) {
    std::lock_guard lock(Mutex);
    std::size_t n = 0;
    for (long long pause : Pauses) n += pause == ms ? 1 : 0;
    return n;
  }
};

struct TestSystem {
  explicit TestSystem(UsbLibrary& usb)
      : Table(usb, Locks, Settings,
              LinkTableOptions{Sleeps.Function(), FixedTime, /*TraceFromEnvironment=*/false}) {}
  NamedLocks Locks;
  S_SystemPara Settings;
  SleepLog Sleeps;
  CaptureLog Log;
  LinkTable Table;
};
