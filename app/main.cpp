// The program gangprog: the gang programmer's control program.
#include <QApplication>
#include <QString>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/message_box.h"
#include "app/startup.h"
#include "app/startup_program.h"
#include "support/instance_lock.h"

namespace {
ProgramOptions ProgramOptionsOf(const CommandLineOptions& line) {
  ProgramOptions options;
  options.baseDir = line.baseDir;
  options.simulatedUnits = line.simulate;
  options.simulationTiming = true;  // a demonstration runs at the units' own pace
  options.logStdout = line.logStdout;
  options.usbTrace = line.usbTrace;
  return options;
}

int Run(QApplication& app, const CommandLineOptions& line) {
  std::optional<InstanceLock> instance;  // held until the process ends
  if (!CheckSingleInstance(DefaultLockFolder(), instance)) return 1;
  GangProgram program(ProgramOptionsOf(line));
  program.Show();
  const int code = app.exec();
  // The program object's destructor stops the notices and joins every worker and the log
  // writer before the bus goes.
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
