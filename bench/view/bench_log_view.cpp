// Log lines per second into the log view with eight producer threads, through the pipeline as
// the main window wires it (one queue, bounded turns of the view, journal), and the longest stall
// of the event loop meanwhile. Offscreen: QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"

namespace {
constexpr int kProducers = 8;
constexpr double kRequiredLinesPerSecond = 20000.0;

void Print(const char* name, double value, const char* unit) {
  std::printf("%s = %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

struct Rig {
  NamedLocks locks;
  TLogView view{{locks.Get(LockName::LogView), locks.Get(LockName::LogSave)}};
  Journal journal;
  LogQueue log{LogDisplay::All};

  explicit Rig(const std::filesystem::path& journalFolder) : journal(journalFolder) {
    view.resize(660, 172);
    view.show();
    view.Attach(&log, &journal);
  }
  ~Rig() { view.Attach(nullptr, nullptr); }
};

// Watches the event loop: a 5 ms timer that records the longest gap between its ticks.
struct StallMeter {
  QTimer timer;
  QElapsedTimer clock;
  qint64 last = 0;
  qint64 worst = 0;
  StallMeter() {
    timer.setInterval(5);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      const qint64 now = clock.elapsed();
      if (now - last > worst) worst = now - last;
      last = now;
    });
    clock.start();
    timer.start();
  }
};

// Eight producers; each pushes `perThread` lines, `perSecond` per second (0: as fast as it can).
std::vector<std::thread> StartProducers(LogQueue& log, int perThread, int perSecond) {
  std::vector<std::thread> producers;
  for (int t = 0; t < kProducers; ++t) {
    producers.emplace_back([&log, t, perThread, perSecond] {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < perThread; ++i) {
        log.Write(
            "Site #" + std::to_string(t + 1) + " - Program block " + std::to_string(i) + " Pass",
            LogColour::Green, LogLevel::Detail);
        if (perSecond > 0 && i % 100 == 99) {
          std::this_thread::sleep_until(start +
                                        std::chrono::microseconds((i + 1) * 1000000LL / perSecond));
        }
      }
    });
  }
  return producers;
}

void WaitForLines(const TLogView& view, int total) {
  while (view.LineCount() < total)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

bool InQueueOrder(const TLogView& view) {
  std::vector<long> next(kProducers, 0);
  for (const std::string& line : view.Lines()) {
    const std::size_t at = line.find("Site #");
    const int site = line[at + 6] - '1';
    const long n = std::stol(line.substr(line.find("block ") + 6));
    if (site < 0 || site >= kProducers || n != next[static_cast<std::size_t>(site)]++) return false;
  }
  return true;
}

// Producers far faster than any view: the figure is the view's own rate.
void MeasureBurst(const std::filesystem::path& folder) {
  Rig rig(folder / "burst");
  constexpr int kPerThread = 10000;
  StallMeter stalls;
  QElapsedTimer took;
  took.start();
  auto producers = StartProducers(rig.log, kPerThread, 0);
  WaitForLines(rig.view, kProducers * kPerThread);
  const double seconds = static_cast<double>(took.nsecsElapsed()) / 1e9;
  for (auto& p : producers) p.join();
  const double rate = kProducers * kPerThread / seconds;
  Print("log_view_burst_lines_per_second", rate, "lines/s");
  Print("log_view_burst_ratio_to_20000", rate / kRequiredLinesPerSecond, "x");
  Print("log_view_burst_max_event_loop_stall", static_cast<double>(stalls.worst), "ms");
  Print("log_view_burst_in_order", InQueueOrder(rig.view) ? 1.0 : 0.0, "bool");
}

// Eight sites producing 20,000 lines per second together for about five seconds: the view keeps
// up (the backlog stays small) and the window keeps answering.
void MeasureSustained(const std::filesystem::path& folder) {
  Rig rig(folder / "sustained");
  constexpr int kPerSecondEach = 2500;
  constexpr int kPerThread = kPerSecondEach * 5;
  StallMeter stalls;
  std::size_t worstBacklog = 0;
  QTimer backlog;
  QObject::connect(&backlog, &QTimer::timeout,
                   [&] { worstBacklog = std::max(worstBacklog, rig.view.PendingLines()); });
  backlog.start(20);
  QElapsedTimer took;
  took.start();
  auto producers = StartProducers(rig.log, kPerThread, kPerSecondEach);
  WaitForLines(rig.view, kProducers * kPerThread);
  const double seconds = static_cast<double>(took.nsecsElapsed()) / 1e9;
  for (auto& p : producers) p.join();
  Print("log_view_sustained_offered", kProducers * kPerSecondEach, "lines/s");
  Print("log_view_sustained_lines_per_second", kProducers * kPerThread / seconds, "lines/s");
  Print("log_view_sustained_max_event_loop_stall", static_cast<double>(stalls.worst), "ms");
  Print("log_view_sustained_max_backlog", static_cast<double>(worstBacklog), "lines");
  Print("log_view_sustained_in_order", InQueueOrder(rig.view) ? 1.0 : 0.0, "bool");
}
}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zv_bench_log_view_" + std::to_string(::getpid()));
  MeasureBurst(folder);
  MeasureSustained(folder);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
