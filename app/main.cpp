// The program gangprog: the gang programmer's control program.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QString>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/message_box.h"
#include "app/startup.h"
#include "app/startup_program.h"
#include "log/core/log_queue.h"
#include "site/system_startup.h"
#include "support/instance_lock.h"

namespace {
// The one process-wide piece of state here: a signal reaches the process, not an object.
// Ctrl-C or a termination request ends the program in order (close notices, temporary files,
// every thread joined) instead of dropping it mid-transfer. The handler only writes a byte; the
// UI thread does the rest.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  (void)!::write(g_signalPipe[1], &byte, 1);
}

void CatchTerminationSignals(QApplication& app, GangProgram& program, QSocketNotifier*& notifier) {
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [&program, notifier] {
    notifier->setEnabled(false);
    program.EndInOrder(0);
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

ProgramOptions ProgramOptionsOf(const CommandLineOptions& line) {
  ProgramOptions options;
  options.baseDir = line.baseDir;
  options.bus.simulatedUnits = line.simulate;
  options.bus.timing = true;  // a demonstration runs at the units' own pace
  options.bus.failRate = line.simFailRate.value_or(0.0);
  options.bus.speed = line.simSpeed.value_or(1.0);
  options.bus.sdCardRoot = line.simCards;
  options.recordsUrl = line.recordsUrl;
  options.autoRun = line.autoRun;
  options.showProjectWindow = line.showProjectWindow;
  options.exitAfterParts = line.exitAfterParts;
  options.logStdout = line.logStdout;
  options.usbTrace = line.usbTrace;
  options.serve = !line.serve.empty();
  options.serveHost = line.serveHost;
  options.servePort = line.servePort;
  options.serveToken = line.serveToken;
  // The history and the status bar show full paths, whatever folder the program started in.
  if (!line.project.empty()) options.project = std::filesystem::absolute(line.project).string();
  return options;
}

int Run(QApplication& app, const CommandLineOptions& line) {
  std::optional<InstanceLock> instance;  // held until the process ends
  if (!CheckSingleInstance(DefaultLockFolder(), instance)) return 1;
  GangProgram program(ProgramOptionsOf(line));
  QSocketNotifier* signalNotifier = nullptr;
  CatchTerminationSignals(app, program, signalNotifier);
  program.Show();
  const int code = app.exec();
  delete signalNotifier;
  // The program object's destructor stops the notices and joins every worker before the bus
  // goes.
  return code;
}
}  // namespace

int main(int argc, char** argv) {
  const CommandLineOptions line = ParseCommandLine(argc, argv);
  const std::string name = argc > 0 ? argv[0] : "gangprog";
  if (line.help) {
    std::fputs(CommandLineUsage(name).c_str(), stdout);
    return 0;
  }
  if (line.version) {
    std::printf("gangprog %s\n", GetVersionText().c_str());
    return 0;
  }
  if (!line.error.empty()) {
    std::fprintf(stderr, "%s: %s\n%s", name.c_str(), line.error.c_str(),
                 CommandLineUsage(name).c_str());
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  try {
    return Run(app, line);
  } catch (const std::exception& error) {
    ShowMessageBox(error.what(), "ERROR", MB_OK | MB_ICONERROR);
    return 1;
  }
}
