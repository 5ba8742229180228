// What the program costs while it waits: the whole program object on eight simulated units
// (offscreen), started and left idle with every unit READY; the process's CPU time over the wall
// time of the measurement, and its thread wake-ups (context switches) per second.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/message_box.h"
#include "app/site_frame.h"
#include "app/startup_program.h"
#include "site/site_system.h"

namespace fs = std::filesystem;

namespace {
constexpr int kUnits = 8;
constexpr int kMeasureMs = 10000;
constexpr int kSettleMs = 1000;
constexpr int kStartupPatienceMs = 60000;

void Print(const char* name, double value, const char* unit) {
  std::printf("%s = %.3f %s\n", name, value, unit);
  std::fflush(stdout);
}

bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > kStartupPatienceMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return true;
}

void RunEventLoopFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Usage {
  double cpuSeconds = 0;
  long switches = 0;
};

Usage ProcessUsage() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_nvcsw + usage.ru_nivcsw};
}

bool AllReady(GangProgram& program) {
  for (int site = 0; site < kUnits; ++site) {
    if (program.Sites().Panels().Status(site) != siReady) return false;
  }
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const fs::path root = fs::temp_directory_path() / ("zv_bench_idle_" + std::to_string(::getpid()));
  fs::create_directories(root / "base" / "DataBase" / "Update");
  fs::create_directories(root / "tmp");
  std::ofstream(root / "base" / "DataBase" / "Update" / "Select.SEL") << "[Select]\r\n0\r\n";
  SetMessageBoxAnswerer([](const MessageBoxCall&) { return IDNO; });
  int code = 0;
  {
    ProgramOptions options;
    options.baseDir = (root / "base").string();
    options.bus.simulatedUnits = kUnits;
    options.tempRoot = (root / "tmp").string();
    options.registry = RegistryStore((root / "registry.ini").string());
    GangProgram program(std::move(options));
    program.Show();
    if (!WaitFor([&] { return program.StartupDone(); }) ||
        !WaitFor([&] { return AllReady(program); })) {
      std::fprintf(stderr, "the program did not reach eight READY units\n");
      code = 1;
    } else {
      RunEventLoopFor(kSettleMs);
      const Usage before = ProcessUsage();
      QElapsedTimer wall;
      wall.start();
      RunEventLoopFor(kMeasureMs);
      const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
      const Usage after = ProcessUsage();
      Print("idle_cpu_share", 100.0 * (after.cpuSeconds - before.cpuSeconds) / seconds, "%");
      Print("idle_context_switches_per_second",
            static_cast<double>(after.switches - before.switches) / seconds, "1/s");
    }
  }
  SetMessageBoxAnswerer({});
  std::error_code ec;
  fs::remove_all(root, ec);
  return code;
}
